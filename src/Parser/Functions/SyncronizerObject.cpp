#include "Parser/Functions/SyncronizerObject.h"

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"
#include "Syncronizer/MusicSyncronizer.h"
#include "Syncronizer/TimerSyncronizer.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/SyncronizerObject";

namespace Types {
VEXA_DEFINE_TYPE(Syncronizer, "Syncronizer")
}  // namespace Types

namespace {

const Counter* s_counter = nullptr;

// Syncronizer { start = s; stop = e; speed = v; music = "file" }, every
// parameter optional. A "music" parameter, whatever its text, selects the
// clock that follows the music; a failure to start the music is reported as
// this function's error.
class F_Syncronizer : public IniFunction {
public:
    IniObject* create() override {
        const float start = getNumber("start", 0.0f);
        const float stop = getNumber("stop", 1000000.0f);
        const float speed = getNumber("speed", 1.0f);
        std::unique_ptr<Syncronizer> source;
        if (has("music")) {
            const std::string music = getString("music");
            try {
                source = std::make_unique<MusicSyncronizer>(speed, start, stop, music, s_counter);
            } catch (const Exception& e) {
                VEXA_THROW(FunctionParseException, e.message());
            }
        } else {
            source = std::make_unique<TimerSyncronizer>(speed, start, stop, s_counter);
        }
        return new SyncronizerObject(std::move(source));
    }
};

F_Syncronizer s_syncronizer;

const FunctionEntry kFunctions[] = {
    {"Syncronizer", &s_syncronizer},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

void setSyncronizerCounter(const Counter* counter) { s_counter = counter; }

}  // namespace Vexa
