// What a material costs per drawn object: its Draw (every attribute applied)
// followed by its Disable (every attribute restored), for a material of two
// texture stages and a blend, on the OpenGL machine of a hidden window. No
// geometry is drawn, so the figure is the material's own work and the
// machine's state calls, not the rasterizer's.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniCommands.h"
#include "Rendering/Common/RenderMachine.h"

namespace {

using namespace Vexa;

void BM_MaterialDrawAndDisable(benchmark::State& state) {
    std::unique_ptr<RenderMachine> machine = RenderMachineCreator("gl");
    WindowParameters parameters;
    parameters.width = 64;
    parameters.height = 64;
    std::unique_ptr<Window> window(machine->createWindow(parameters));
    Viewport viewport;
    viewport.target = window.get();
    machine->setViewport(viewport);

    std::vector<IniObject*> objects;
    auto* material = new MaterialObject(machine.get());
    objects.push_back(material);
    for (int stage = 0; stage < 2; ++stage) {
        auto* texture = new TargetableTexture2DObject(machine.get(), 16, 16);
        texture->load();
        auto* attribute = new TextureStageObject(texture, stage);
        material->addAttribute(attribute);
        objects.push_back(texture);
        objects.push_back(attribute);
    }
    auto* blend = new BlendObject();
    blend->source = SRCALPHA;
    blend->destination = INVSRCALPHA;
    material->addAttribute(blend);
    objects.push_back(blend);

    SimpleCommand draw(0, CommandKinds::Draw());
    SimpleCommand disable(0, CommandKinds::Disable());
    for (auto _ : state) {
        material->execute(draw);
        material->execute(disable);
    }
    for (IniObject* object : objects) object->touch();
    collectGarbage();
}
BENCHMARK(BM_MaterialDrawAndDisable);

}  // namespace

BENCHMARK_MAIN();
