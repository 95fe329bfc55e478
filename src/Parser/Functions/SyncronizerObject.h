#pragma once
// The script object bound to `syncronizer`: owns one time source.
#include <memory>

#include "Parser/IniObject.h"
#include "Syncronizer/PerformanceTimer.h"
#include "Syncronizer/Syncronizer.h"

namespace Vexa {

namespace Types {
const TypeObject* Syncronizer();
}

class SyncronizerObject : public IniObject {
public:
    explicit SyncronizerObject(std::unique_ptr<Syncronizer> source) : m_source(std::move(source)) {}
    const TypeObject* type() const override { return Types::Syncronizer(); }
    Syncronizer* syncronizer() const { return m_source.get(); }

private:
    std::unique_ptr<Syncronizer> m_source;
};

// The counter the clocks that scripts make read; null (the default) for the
// steady clock. Not owned. Tests drive those clocks with a counter of their own.
void setSyncronizerCounter(const Counter* counter);

}  // namespace Vexa
