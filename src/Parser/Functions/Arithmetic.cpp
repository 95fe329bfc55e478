#include "Parser/Functions/Arithmetic.h"

#include <cstring>

#include "Parser/Exceptions.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/Arithmetic";

namespace Types {
VEXA_DEFINE_TYPE(Copier, "Copier")
}  // namespace Types

void CopierObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    for (const Order& o : m_orders) std::memcpy(o.destination, o.source, o.size);
}

void CopierObject::addOrder(const void* source, void* destination, std::size_t size) {
    m_orders.push_back({source, destination, size});
}

TransformMulObject::TransformMulObject(RenderMachine* machine,
                                       std::vector<TransformObject*> operands)
    : TransformObject(machine), m_operands(std::move(operands)) {
    for (TransformObject* o : m_operands) {
        hold(o);
        m_dynamic = m_dynamic || o->isDynamic();
    }
    compute(0.0f);
}

void TransformMulObject::compute(float time) {
    for (TransformObject* o : m_operands) o->compute(time);
    m_value = m_operands.back()->matrix();
    for (auto o = m_operands.rbegin() + 1; o != m_operands.rend(); ++o)
        m_value = multiply((*o)->matrix(), m_value);
}

namespace {

/* Sum ( value value ... ): numbers, vectors or strings of the first one's type */
class F_Sum : public IniFunction {
public:
    IniObject* create() override {
        const TypeObject* kind = elementType(0);
        if (kind == Types::Number()) return sum<NumberObject, float>(kind);
        if (kind == Types::Vec2d()) return sum<Vec2dObject, Vec2f>(kind);
        if (kind == Types::Vec3d()) return sum<Vec3dObject, Vec3f>(kind);
        if (kind == Types::Vec4d()) return sum<Vec4dObject, Vec4f>(kind);
        if (kind == Types::String()) return sum<StringObject, std::string>(kind);
        VEXA_THROW(FunctionParseException, std::string("Sum cannot handle ") + kind->name());
    }

private:
    template <typename T, typename V>
    IniObject* sum(const TypeObject* kind) {
        V total{};
        bool dynamic = false;
        std::vector<IniObject*> operands;
        for (int i = 0; i < count(); ++i) {
            IniObject* o = element(i, kind);
            total = addValues(total, static_cast<T*>(o)->value());
            dynamic = dynamic || o->isDynamic();
            operands.push_back(o);
        }
        if (dynamic) return new SumObject<T, V>(total, std::move(operands));
        return new T(total);
    }
};

// A product of plain operands is a plain value; with an animated operand it
// is a MulObject that recomputes on Update.
template <typename T, typename L, typename R, typename Rule>
IniObject* makeProduct(IniObject* left, IniObject* right) {
    if (left->isDynamic() || right->isDynamic()) return new MulObject<T, L, R, Rule>(left, right);
    return new T(Rule::apply(static_cast<L*>(left)->value(), static_cast<R*>(right)->value()));
}

/* Mul ( a b ... ) = a * ( b * ( ... ) ) */
class F_Mul : public IniFunction {
public:
    IniObject* create() override {
        const int n = count();
        if (n < 2) VEXA_THROW(FunctionParseException, "Mul needs > 1 parameters");
        IniObject* result = element(n - 1);
        for (int i = n - 2; i >= 0; --i) result = product(element(i), result);
        return result;
    }

private:
    // One product of the right fold; the result is touched so that an
    // intermediate nobody holds is collected.
    IniObject* product(IniObject* left, IniObject* right) {
        const TypeObject* lt = left->type();
        const TypeObject* rt = right->type();
        IniObject* result = nullptr;
        if (lt == rt && lt == Types::Number())
            result = makeProduct<NumberObject, NumberObject, NumberObject, NumberMultiplier>(left,
                                                                                             right);
        else if (lt == rt && lt == Types::Vec2d())
            result = makeProduct<Vec2dObject, Vec2dObject, Vec2dObject, VecMultiplier>(left, right);
        else if (lt == rt && lt == Types::Vec3d())
            result = makeProduct<Vec3dObject, Vec3dObject, Vec3dObject, VecMultiplier>(left, right);
        else if (lt == rt && lt == Types::Vec4d())
            result = makeProduct<Vec4dObject, Vec4dObject, Vec4dObject, VecMultiplier>(left, right);
        else if (lt == Types::Transform() && rt == Types::Vec3d())
            result = makeProduct<Vec3dObject, TransformObject, Vec3dObject, Vec3dTransformer>(
                left, right);
        else if (lt == Types::Transform() && rt == Types::Vec4d())
            result = makeProduct<Vec4dObject, TransformObject, Vec4dObject, Vec4dTransformer>(
                left, right);
        else if (lt == rt && lt == Types::Transform())
            result = new TransformMulObject(
                renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem())),
                {static_cast<TransformObject*>(left), static_cast<TransformObject*>(right)});
        else
            VEXA_THROW(FunctionParseException,
                       std::string("Mul cannot handle: ") + lt->name() + " * " + rt->name());
        result->touch();
        return result;
    }
};

/* Eq ( a b ) */
class F_Eq : public IniFunction {
public:
    IniObject* create() override {
        if (count() != 2) VEXA_THROW(FunctionParseException, "Eq wants precisely 2 parameters");
        const IniObject* a = element(0);
        const IniObject* b = element(1);
        bool equal = false;
        if (a->type() == b->type()) {
            if (a->type() == Types::Number())
                equal = static_cast<const NumberObject*>(a)->value() ==
                        static_cast<const NumberObject*>(b)->value();
            else if (a->type() == Types::String())
                equal = static_cast<const StringObject*>(a)->value() ==
                        static_cast<const StringObject*>(b)->value();
        }
        return new BoolObject(equal);
    }
};

// And stops at the first false, Or at the first true; arguments after that
// are not examined.
template <bool kStopAt>
class F_Logic : public IniFunction {
public:
    explicit F_Logic(const char* error) : m_error(error) {}
    IniObject* create() override {
        const int n = count();
        for (int i = 0; i < n; ++i) {
            const IniObject* o = element(i);
            if (!IniObject::isOfType(o, Types::Bool())) VEXA_THROW(FunctionParseException, m_error);
            if (static_cast<const BoolObject*>(o)->value() == kStopAt)
                return new BoolObject(kStopAt);
        }
        return new BoolObject(!kStopAt);
    }

private:
    const char* m_error;
};

class F_Copier : public IniFunction {
public:
    IniObject* create() override { return new CopierObject(); }
};

F_Sum s_sum;
F_Mul s_mul;
F_Eq s_eq;
F_Logic<false> s_and("And only accepts boolean parameters");
F_Logic<true> s_or("Or only accepts boolean parameters");
F_Copier s_copier;

const FunctionEntry kFunctions[] = {
    {"Sum", &s_sum}, {"Mul", &s_mul}, {"Eq", &s_eq},
    {"And", &s_and}, {"Or", &s_or},   {"Copier", &s_copier},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
