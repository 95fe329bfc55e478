#pragma once
#include <limits>

// A time source: the player's clock. Times are seconds as 32-bit floats.
namespace Vexa {

class Syncronizer {
public:
    virtual void start() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual float getTime() = 0;
    virtual bool isFinished() = 0;
    virtual bool isPaused() = 0;
    virtual ~Syncronizer() = default;

    // The range the clock runs over, for tools that step time themselves.
    virtual float startTime() const { return 0.0f; }
    virtual float stopTime() const { return std::numeric_limits<float>::infinity(); }
};

}  // namespace Vexa
