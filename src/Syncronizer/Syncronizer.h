#pragma once
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
};

}  // namespace Vexa
