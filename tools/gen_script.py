#!/usr/bin/env python3
"""Generates a large, production-like script for parser benchmarks.

The script holds what real productions are made of: scenes as nested blocks
of numbers, vectors, strings and tuples, key lists built with the entry form
(t : key = value), macros defined once and called many times, conditionals
on quality flags (with branches that are skipped), @local helpers, comments
and command lists.

The same data is also written as a Lua table constructor (`return { ... }`),
with macro calls, conditionals and name references replaced by the values
they produce, so that the two languages can be timed loading equal content.

With --bindings N it writes instead what a finished production's data
looks like: N bindings in scene blocks, mostly animation key tuples, vectors,
numbers and file names, with material and light blocks nested inside, and no
macros or conditionals. The Lua file again holds the same data.

Output is a function of the seed and the size (or binding count) only.

usage: gen_script.py OUT.ini [--lua OUT.lua] [--size BYTES | --bindings N] [--seed N]
"""

import argparse
import random
import sys

LUA_KEYWORDS = {
    "and", "break", "do", "else", "elseif", "end", "false", "for", "function",
    "goto", "if", "in", "local", "nil", "not", "or", "repeat", "return",
    "then", "true", "until", "while",
}

WORDS = [
    "pos", "target", "up", "fov", "near", "far", "color", "ambient", "diffuse",
    "specular", "shininess", "intensity", "radius", "speed", "offset", "scale",
    "rotation", "texture", "mesh", "shader", "blend", "alpha", "depth", "fog",
    "density", "start", "stop", "length", "duration", "fade", "layer", "width",
    "height", "count", "seed", "spread", "gravity", "wind", "noise", "detail",
    "bias", "gain", "phase", "freq", "amp", "pivot", "origin", "tint", "glow",
]

STRING_PARTS = [
    "textures", "meshes", "shaders", "music", "logo", "tunnel", "city", "sky",
    "particle", "flare", "font", "metal", "glass", "stone", "water", "noise",
]
EXTENSIONS = [".png", ".jpg", ".obj", ".lwo", ".vs", ".fs", ".ogg", ".tga"]

COMMANDS = ["BeginScene", "Draw", "EndScene", "Update", "ResetState", "StoreState"]

# Flags bound at the top of the script; conditionals test them. The names in
# UNSET_FLAGS are never bound.
SET_FLAGS = ["quality_high", "use_shadows", "widescreen"]
UNSET_FLAGS = ["debug_mode", "low_memory"]


class Out:
    """Two text streams written side by side: the script and the Lua data."""

    def __init__(self):
        self.ini = []
        self.lua = []
        self.ini_size = 0

    def both(self, ini, lua):
        self.ini.append(ini)
        self.ini_size += len(ini)
        self.lua.append(lua)


class Generator:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.unique = 0

    def name(self):
        self.unique += 1
        word = self.rng.choice(WORDS)
        assert word not in LUA_KEYWORDS
        return "%s_%d" % (word, self.unique)

    def number_text(self, allow_negative=True):
        r = self.rng.random()
        if r < 0.35:
            value = str(self.rng.randint(0, 1000))
        elif r < 0.9:
            value = "%.3f" % self.rng.uniform(0, 100)
        else:
            value = "%.2fe%d" % (self.rng.uniform(1, 9), self.rng.randint(-3, 3))
        if allow_negative and self.rng.random() < 0.15:
            return "-" + value
        return value

    def string_text(self):
        parts = [self.rng.choice(STRING_PARTS) for _ in range(self.rng.randint(1, 3))]
        return "/".join(parts) + "_%02d" % self.rng.randint(0, 99) + self.rng.choice(EXTENSIONS)

    # Each value generator answers (script text, Lua text).

    def number(self, allow_negative=True):
        t = self.number_text(allow_negative)
        return t, t

    def string(self):
        s = self.string_text()
        return '"%s"' % s, '"%s"' % s

    def vector(self, allow_negative=True, size=None):
        n = size or self.rng.randint(2, 4)
        items = [self.number_text(allow_negative) for _ in range(n)]
        return "< %s >" % " ".join(items), "{%s}" % ", ".join(items)

    def command(self):
        c = self.rng.choice(COMMANDS)
        return "%s ()" % c, '{cmd = "%s"}' % c

    def tuple(self, depth, skipped):
        items = [self.value(depth + 1, skipped) for _ in range(self.rng.randint(0, 6))]
        return ("( %s )" % " ".join(i for i, _ in items),
                "{%s}" % ", ".join(l for _, l in items))

    def leaf(self, skipped):
        r = self.rng.random()
        if r < 0.4:
            return self.number(allow_negative=True)
        if r < 0.75:
            return self.vector(allow_negative=not skipped)
        return self.string()

    def value(self, depth, skipped=False):
        r = self.rng.random()
        if depth < 4 and r < 0.12:
            return self.block(depth + 1, skipped)
        if depth < 5 and r < 0.2:
            return self.tuple(depth, skipped)
        if not skipped and r < 0.26:
            return self.macro_call(depth)
        return self.leaf(skipped)

    def macro_call(self, depth):
        kind = self.rng.randint(0, 3)
        if kind == 0:
            c_ini, c_lua = self.vector(size=3)
            i_ini, i_lua = self.number(allow_negative=False)
            return ("mk_light ( %s %s )" % (c_ini, i_ini),
                    "{color = %s, intensity = %s}" % (c_lua, i_lua))
        if kind == 1:
            s = self.number_text(allow_negative=False)
            return "mk_scale ( %s )" % s, "{%s, %s, %s}" % (s, s, s)
        if kind == 2:
            t = self.number_text(allow_negative=False)
            v_ini, v_lua = self.leaf(False)
            return "mk_key ( %s %s )" % (t, v_ini), "{%s, %s}" % (t, v_lua)
        p_ini, p_lua = self.vector(size=3)
        t_ini, t_lua = self.vector(size=3)
        f = self.number_text(allow_negative=False)
        return ("mk_camera ( %s %s %s )" % (p_ini, t_ini, f),
                "{pos = %s, target = %s, fov = %s, up = {0, 1, 0}}" % (p_lua, t_lua, f))

    def block(self, depth, skipped=False):
        ini, lua = [], []
        self.statements(ini, lua, depth, self.rng.randint(2, 8), skipped)
        return "{ %s }" % " ".join(ini), "{%s}" % ", ".join(x for x in lua if x)

    def statements(self, ini, lua, depth, count, skipped):
        """Appends `count` statements; `lua` gets the fields they leave behind."""
        for _ in range(count):
            r = self.rng.random()
            if r < 0.06 and not skipped:
                self.local_and_reference(ini, lua)
            elif r < 0.12:
                self.entry_list(ini, lua, skipped)
            elif r < 0.17 and depth < 4 and not skipped:
                self.conditional(ini, lua, depth)
            elif r < 0.2:
                n = self.name()
                items = [self.command() for _ in range(self.rng.randint(1, 4))]
                ini.append("%s = ( %s )" % (n, " ".join(i for i, _ in items)))
                lua.append("%s = {%s}" % (n, ", ".join(l for _, l in items)))
            elif r < 0.22:
                ini.append("// %s" % self.string_text() + "\n")
                lua.append("")
            else:
                n = self.name()
                v_ini, v_lua = self.value(depth, skipped)
                ini.append("%s = %s" % (n, v_ini))
                lua.append("%s = %s" % (n, v_lua))

    def local_and_reference(self, ini, lua):
        # A local helper used by the bindings after it; it leaves no field.
        helper = self.name()
        value = self.number_text(allow_negative=False)
        ini.append("@local %s = %s" % (helper, value))
        lua.append("")
        for _ in range(self.rng.randint(1, 3)):
            n = self.name()
            ini.append("%s = %s" % (n, helper))
            lua.append("%s = %s" % (n, value))

    def entry_list(self, ini, lua, skipped):
        # Key lists: name : time = value, one line per key. The name is new
        # everywhere, so the first line makes the tuple.
        n = "keys_%d" % self.unique
        self.unique += 1
        items = []
        t = 0.0
        for _ in range(self.rng.randint(2, 10)):
            t += self.rng.uniform(0.1, 4.0)
            v_ini, v_lua = self.vector(allow_negative=not skipped)
            ini.append("%s : %.2f = %s\n" % (n, t, v_ini))
            items.append("%.2f, %s" % (t, v_lua))
        lua.append("%s = {%s}" % (n, ", ".join(items)))

    def conditional(self, ini, lua, depth):
        # One branch is taken: the first whose flag is bound (negated for
        # @ifnot); the others are only skipped.
        clauses = []
        keyword = self.rng.choice(["if", "ifnot"])
        clauses.append((keyword, self.rng.choice(SET_FLAGS + UNSET_FLAGS)))
        for _ in range(self.rng.randint(0, 2)):
            clauses.append(("elif", self.rng.choice(SET_FLAGS + UNSET_FLAGS)))
        has_else = self.rng.random() < 0.6
        taken = False
        for kw, flag in clauses:
            holds = (flag in SET_FLAGS) != (kw == "ifnot")
            branch_ini, branch_lua = [], []
            if holds and not taken:
                self.statements(branch_ini, branch_lua, depth + 1, self.rng.randint(1, 4), False)
                lua.extend(branch_lua)
                taken = True
            else:
                self.statements(branch_ini, branch_lua, depth + 1, self.rng.randint(1, 4), True)
            ini.append("@%s %s %s" % (kw, flag, " ".join(branch_ini)))
        if has_else:
            branch_ini, branch_lua = [], []
            self.statements(branch_ini, branch_lua, depth + 1, self.rng.randint(1, 4), taken)
            if not taken:
                lua.extend(branch_lua)
            ini.append("@else %s" % " ".join(branch_ini))
        ini.append("@endif\n")


MACROS_INI = """\
/* Helpers shared by every scene. */
@def mk_light(c i) { return = { color = c intensity = i } }
@def mk_scale(s) { return = < s s s > }
@def mk_key(t v) { return = ( t v ) }
@def mk_camera(p t f) {
    @local upv = < 0 1 0 >
    return = { pos = p target = t fov = f up = upv }
}
"""


def generate(size, seed):
    gen = Generator(seed)
    out = Out()
    out.both("// Generated benchmark production (seed %d).\n" % seed, "-- Generated.\nreturn {\n")
    out.both(MACROS_INI, "")
    for flag in SET_FLAGS:
        out.both("%s = 1\n" % flag, "%s = 1,\n" % flag)
    while out.ini_size < size:
        n = "scene_%d" % gen.unique
        gen.unique += 1
        b_ini, b_lua = gen.block(0)
        out.both("%s = %s\n" % (n, b_ini), "%s = %s,\n" % (n, b_lua))
    out.both("", "}\n")
    return "".join(out.ini), "".join(out.lua)


class DataGenerator:
    """Plain production data: every statement is a binding."""

    def __init__(self, seed):
        self.gen = Generator(seed)
        self.rng = self.gen.rng
        self.bindings = 0

    def key_tuple(self):
        # Times and values of an animation channel, flattened.
        items = []
        t = 0.0
        for _ in range(self.rng.randint(4, 44)):
            t += self.rng.uniform(0.05, 2.0)
            items.append("%.2f" % t)
            items.append(self.gen.number_text())
        return "( %s )" % " ".join(items), "{%s}" % ", ".join(items)

    def path_tuple(self):
        points = [self.gen.vector(size=3) for _ in range(self.rng.randint(2, 8))]
        return ("( %s )" % " ".join(i for i, _ in points),
                "{%s}" % ", ".join(l for _, l in points))

    def file_tuple(self):
        files = [self.gen.string() for _ in range(self.rng.randint(1, 4))]
        return ("( %s )" % " ".join(i for i, _ in files),
                "{%s}" % ", ".join(l for _, l in files))

    def value(self, depth):
        r = self.rng.random()
        if depth < 2 and r < 0.08:
            return self.block(depth + 1, self.rng.randint(3, 8))
        if r < 0.32:
            return self.key_tuple()
        if r < 0.36:
            return self.path_tuple()
        if r < 0.4:
            return self.file_tuple()
        if r < 0.6:
            return self.gen.number()
        if r < 0.85:
            return self.gen.vector()
        return self.gen.string()

    def block(self, depth, count):
        ini, lua = [], []
        for _ in range(count):
            n = self.gen.name()
            self.bindings += 1
            v_ini, v_lua = self.value(depth)
            ini.append("%s = %s" % (n, v_ini))
            lua.append("%s = %s" % (n, v_lua))
        return "{\n%s\n}" % "\n".join(ini), "{%s}" % ", ".join(lua)


def generate_data(bindings, seed):
    data = DataGenerator(seed)
    out = Out()
    out.both("// Generated production data (seed %d).\n" % seed, "-- Generated.\nreturn {\n")
    while data.bindings < bindings:
        n = "scene_%d" % data.gen.unique
        data.gen.unique += 1
        data.bindings += 1
        b_ini, b_lua = data.block(0, data.rng.randint(8, 24))
        out.both("%s = %s\n" % (n, b_ini), "%s = %s,\n" % (n, b_lua))
    out.both("", "}\n")
    return "".join(out.ini), "".join(out.lua)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="script file to write")
    parser.add_argument("--lua", help="also write the data as a Lua table constructor")
    parser.add_argument("--size", type=int, default=10 * 1000 * 1000,
                        help="approximate script size in bytes (default 10 MB)")
    parser.add_argument("--bindings", type=int,
                        help="write plain production data with this many bindings instead")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.bindings:
        ini, lua = generate_data(args.bindings, args.seed)
    else:
        ini, lua = generate(args.size, args.seed)
    with open(args.output, "w", newline="\n") as f:
        f.write(ini)
    if args.lua:
        with open(args.lua, "w", newline="\n") as f:
            f.write(lua)
    return 0


if __name__ == "__main__":
    sys.exit(main())
