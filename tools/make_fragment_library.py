#!/usr/bin/env python3
"""Writes the vertex program fragment library of the bundled production:
one file per fragment in demo/shaders/ and the script demo/Ini/fragments.ini
that binds each name to its keys and file.

The texture outputs (every coordinate source, transform and stage) follow
one pattern, so they are made here rather than kept by hand:
python3 tools/make_fragment_library.py demo
"""
import sys
from pathlib import Path

frags = []  # (name, key0, key1, text)


def add(name, k0, k1, text):
    frags.append((name, k0, k1, text))


add("header", 0, 0, """\
!!ARBvp1.0
# header: starts every generated program and declares what the fragments share.
# in: program.env registers written by the generator and the material
# out: normalVec, toLight, lightND, shade, processed, coord, scratch declared;
#      lightND = 0 (no light term unless a lighting fragment follows)
PARAM mvp[4] = { program.env[0..3] };    # world-view-projection rows
PARAM zero = program.env[16];            # (0, 0, 0, 0)
PARAM one = program.env[17];             # (1, 1, 1, 1)
PARAM lightPosition = program.env[24];   # first light, object space
PARAM lightDirection = program.env[25];  # first light's travel direction, object space
PARAM lightColor = program.env[26];      # first light's diffuse colour
PARAM shadowBias = program.env[64];      # x: offset of lit vertices away from the light
PARAM shadowExtrude = program.env[65];   # xyz: offset of unlit vertices away from the light
PARAM baseColor = program.env[80];       # (r, g, b, 1)
PARAM material = program.env[81];        # (luminosity, diffuse, specular, exponent)
TEMP normalVec, toLight, lightND, shade, processed, coord, scratch;
MOV lightND, zero;
""")
add("vertexDeclaration", 1, 0, """\
# vertexDeclaration: out: inPosition, the vertex position in object space
ATTRIB inPosition = vertex.position;
""")
add("normalDeclaration", 1, 1, """\
# normalDeclaration: out: inNormal, the vertex normal in object space
ATTRIB inNormal = vertex.normal;
""")
for i in range(8):
    add("texDeclaration%d" % i, 1, 2 + i, """\
# texDeclaration%d: out: inTex%d, the vertex's texture coordinates of stage %d
ATTRIB inTex%d = vertex.texcoord[%d];
""" % (i, i, i, i, i))

NORMALIZE = """\
DP3 normalVec.w, vertex.normal, vertex.normal;
RSQ normalVec.w, normalVec.w;
MUL normalVec.xyz, vertex.normal, normalVec.w;
"""
add("directionalLightND", 2, 0, """\
# directionalLightND: directional light.
# in: vertex.normal, lightDirection (the direction the light travels)
# out: normalVec = unit normal, toLight = -unit(lightDirection),
#      lightND.x = max(0, normalVec . toLight)
""" + NORMALIZE + """\
DP3 toLight.w, lightDirection, lightDirection;
RSQ toLight.w, toLight.w;
MUL toLight.xyz, -lightDirection, toLight.w;
DP3 lightND.x, normalVec, toLight;
MAX lightND.x, lightND.x, zero.x;
""")
add("pointLightND", 2, 1, """\
# pointLightND: point light, no attenuation.
# in: vertex.position, vertex.normal, lightPosition
# out: normalVec = unit normal, toLight = unit(lightPosition - position),
#      lightND.x = max(0, normalVec . toLight)
""" + NORMALIZE + """\
ADD toLight.xyz, lightPosition, -vertex.position;
DP3 toLight.w, toLight, toLight;
RSQ toLight.w, toLight.w;
MUL toLight.xyz, toLight, toLight.w;
DP3 lightND.x, normalVec, toLight;
MAX lightND.x, lightND.x, zero.x;
""")
add("shadowCalculation", 2, 2, """\
# shadowCalculation: shadow volume vertex, after pointLightND.
# in: vertex.position, normalVec, toLight, shadowBias.x, shadowExtrude.xyz
# out: processed = position - toLight * d, w = 1, with d = shadowBias.x where the
#      normal faces the light and d = shadowExtrude where it faces away
DP3 scratch.x, normalVec, toLight;
SLT scratch.w, scratch.x, zero.x;
ADD scratch.xyz, shadowExtrude, -shadowBias.x;
MAD scratch.xyz, scratch, scratch.w, shadowBias.x;
MUL scratch.xyz, toLight, scratch;
ADD processed.xyz, vertex.position, -scratch;
MOV processed.w, one.x;
""")
add("basicMaterialCalculation", 3, 0, """\
# basicMaterialCalculation: diffuse lighting of the material.
# in: lightND.x, lightColor, baseColor, material.x (luminosity), material.y (diffuse)
# out: shade.rgb = baseColor * (luminosity + diffuse * lightND.x * lightColor),
#      shade.a = baseColor.a
MUL scratch.x, material.y, lightND.x;
MAD scratch.xyz, lightColor, scratch.x, material.x;
MUL shade.xyz, baseColor, scratch;
MOV shade.w, baseColor.w;
""")
add("transformedVertexOutput", 4, 0, """\
# transformedVertexOutput: in: inPosition, mvp; out: result.position = mvp * inPosition
DP4 result.position.x, mvp[0], inPosition;
DP4 result.position.y, mvp[1], inPosition;
DP4 result.position.z, mvp[2], inPosition;
DP4 result.position.w, mvp[3], inPosition;
""")
add("processedVertexOutput", 4, 1, """\
# processedVertexOutput: in: processed, mvp; out: result.position = mvp * processed
DP4 result.position.x, mvp[0], processed;
DP4 result.position.y, mvp[1], processed;
DP4 result.position.z, mvp[2], processed;
DP4 result.position.w, mvp[3], processed;
""")
add("processedDiffuseOutput", 4, 2, """\
# processedDiffuseOutput: in: shade; out: result.color = shade
MOV result.color, shade;
""")
add("materialDiffuseOutput", 4, 3, """\
# materialDiffuseOutput: unlit colour, for a light cube texture to light.
# in: baseColor, material.y (diffuse); out: result.color = (baseColor.rgb * diffuse, baseColor.a)
MUL result.color.xyz, baseColor, material.y;
MOV result.color.w, baseColor.w;
""")

# Where a stage's coordinates come from, by the first piece of the name.
SOURCES = {
    "direct": ("its texture coordinates", "inTex%d"),
    "vertex": ("the object-space position", "inPosition"),
    "normal": ("the object-space normal", "inNormal"),
    "": ("its texture coordinates (no generation under a program)", "vertex.texcoord[%d]"),
}


def texture_output(gen, tr, i):
    """The coordinates of stage i: from the source, optionally through the
    world matrix rows (World) and then the stage's texture matrix (Matrix).
    A normal is a direction: no translation, w = 1."""
    what, src = SOURCES[gen]
    s = src % i if "%d" in src else src
    name = "%s%sTextureOutput%d" % (gen, tr, i)
    out = "result.texcoord[%d]" % i
    rows = "world rows (env %d..%d)" % (84 + 4 * i, 87 + 4 * i)
    if tr == "":
        how = "%s = %s" % (out, s)
    elif tr == "World":
        how = "%s = %s * %s" % (out, rows, s)
    else:
        how = "%s = state.matrix.texture[%d] * (%s * %s)" % (out, i, rows, s)
    if gen == "normal":
        how += ", w = 1 (direction: no translation)"
    head = "# %s: stage %d's coordinates from %s.\n# out: %s\n" % (name, i, what, how)
    body = ""
    target = "coord" if tr == "Matrix" else out
    if tr == "":
        if gen == "normal":
            body += "MOV %s.xyz, %s;\nMOV %s.w, one.x;\n" % (out, s, out)
        else:
            body += "MOV %s, %s;\n" % (out, s)
    else:
        for j, c in enumerate("xyzw"):
            row = "program.env[%d]" % (84 + 4 * i + j)
            if gen != "normal":
                body += "DP4 %s.%s, %s, %s;\n" % (target, c, row, s)
            elif c == "w":
                body += "MOV %s.w, one.x;\n" % target
            else:
                body += "DP3 %s.%s, %s, %s;\n" % (target, c, row, s)
        if tr == "Matrix":
            for j, c in enumerate("xyzw"):
                body += "DP4 %s.%s, state.matrix.texture[%d].row[%d], coord;\n" % (out, c, i, j)
    add(name, 5, i, head + body)


for i in range(8):
    for gen in SOURCES:
        for tr in ("", "World", "Matrix"):
            texture_output(gen, tr, i)

add("end", 9, 0, "# end: closes the program.\nEND\n")


def main(production):
    lines = ["// The vertex program fragments the shader generator joins: a production",
             "// @includes this file (paths are relative to the production's folder) and",
             "// passes shaderFiles to SimpleGenerator. Keys order the program: header,",
             "// declarations, lighting, material calculation, outputs, texture outputs, end.",
             "// Each fragment's first comment lines state what it reads and writes.",
             "// Made by tools/make_fragment_library.py.",
             "", "shaderFiles = { vertexShaders = {"]
    (production / "shaders").mkdir(parents=True, exist_ok=True)
    for name, k0, k1, text in frags:
        (production / "shaders" / (name + ".vp")).write_text(text)
        lines.append('    %s = ( %d %d File "shaders/%s.vp" )' % (name, k0, k1, name))
    lines.append("} }")
    (production / "Ini" / "fragments.ini").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(Path(sys.argv[1] if len(sys.argv) > 1 else "demo"))
