#pragma once
// Sums, products, comparisons and logic over script values. Sums and
// products of animated operands are themselves animated: they recompute on
// every Update and publish their value.
#include <cstddef>
#include <string>
#include <vector>

#include "Parser/Functions/TransformObject.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* Copier();
}

// Addition of the value kinds a sum can hold.
inline float addValues(float a, float b) { return a + b; }
template <int N>
Vec<float, N> addValues(const Vec<float, N>& a, const Vec<float, N>& b) {
    Vec<float, N> r;
    for (int i = 0; i < N; ++i) r[i] = a[i] + b[i];
    return r;
}
inline std::string addValues(const std::string& a, const std::string& b) { return a + b; }

// A sum with at least one animated operand.
template <typename T, typename V>
class SumObject : public T {
public:
    SumObject(const V& total, std::vector<IniObject*> operands)
        : T(total), m_operands(std::move(operands)) {
        for (IniObject* o : m_operands) this->hold(o);
    }
    bool isDynamic() const override { return true; }
    std::string toString() const override { return "[SumObject " + T::toString() + "]"; }
    void execute(CommandObject& command) override {
        if (command.commandKind() != CommandKinds::Update()) {
            IniObject::execute(command);
            return;
        }
        V total{};
        for (IniObject* o : m_operands) {
            o->execute(command);
            total = addValues(total, static_cast<T*>(o)->value());
        }
        this->setValue(total);
        this->publish();
    }

private:
    std::vector<IniObject*> m_operands;
};

// A product with at least one animated operand; `Rule` combines the values
// of the left operand (an L) and the right one (an R).
template <typename T, typename L, typename R, typename Rule>
class MulObject : public T {
public:
    MulObject(IniObject* left, IniObject* right)
        : T(Rule::apply(value<L>(left), value<R>(right))), m_left(left), m_right(right) {
        this->hold(left);
        this->hold(right);
    }
    bool isDynamic() const override { return true; }
    std::string toString() const override {
        return "[MulObject " + m_left->toString() + " * " + m_right->toString() + "]";
    }
    void execute(CommandObject& command) override {
        if (command.commandKind() != CommandKinds::Update()) {
            IniObject::execute(command);
            return;
        }
        m_left->execute(command);
        m_right->execute(command);
        this->setValue(Rule::apply(value<L>(m_left), value<R>(m_right)));
        this->publish();
    }

private:
    template <typename O>
    static const auto& value(IniObject* o) {
        return static_cast<O*>(o)->value();
    }
    IniObject* m_left;
    IniObject* m_right;
};

struct NumberMultiplier {
    static float apply(float a, float b) { return a * b; }
};

struct VecMultiplier {
    template <int N>
    static Vec<float, N> apply(const Vec<float, N>& a, const Vec<float, N>& b) {
        Vec<float, N> r;
        for (int i = 0; i < N; ++i) r[i] = a[i] * b[i];
        return r;
    }
};

// A transform applied to the point (x, y, z, 1); the first three components.
struct Vec3dTransformer {
    static Vec3f apply(const Matrix& m, const Vec3f& p) {
        const Vec4f r = transformPoint(m, Vec4f{{p[0], p[1], p[2], 1.0f}});
        return Vec3f{{r[0], r[1], r[2]}};
    }
};

// A transform applied to a 4-vector.
struct Vec4dTransformer {
    static Vec4f apply(const Matrix& m, const Vec4f& v) { return transformPoint(m, v); }
};

// The product of transforms, left times right: the operands recompute first,
// then their matrices are multiplied from the last one leftwards.
class TransformMulObject : public TransformObject {
public:
    TransformMulObject(RenderMachine* machine, std::vector<TransformObject*> operands);
    void compute(float time) override;

private:
    std::vector<TransformObject*> m_operands;
};

// Copies raw values from one place to another on every Update.
class CopierObject : public IniObject {
public:
    struct Order {
        const void* source;
        void* destination;
        std::size_t size;
    };
    const TypeObject* type() const override { return Types::Copier(); }
    void execute(CommandObject& command) override;
    void addOrder(const void* source, void* destination, std::size_t size);

private:
    std::vector<Order> m_orders;
};

}  // namespace Vexa
