#pragma once
// The object model every script value and scene object shares.
//
// Reference counting with deferred destruction:
//  - an object starts with count 0 and is not queued;
//  - release() that brings the count to 0 or below appends the object to the
//    process-wide garbage list (first in, first out; an object may stand in it
//    more than once) but never destroys it;
//  - collectGarbage() is the only place where counted objects are destroyed:
//    it drains the whole list first (releasing what each dead object held,
//    which may queue more), then destroys each dead object exactly once.
//
// Live copies: getValue() copies a plain value (bool, number, vector) into a
// field of a consumer; when the value is dynamic the field's address is
// registered and publish() rewrites it after every change. A registration is
// tied to the consumer that holds the value (see claimDestinations), and is
// dropped when that consumer lets go of it, so a value never writes into a
// destroyed object.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace Vexa {

class TypeObject;
class CommandObject;

class IniObject {
public:
    IniObject() = default;
    IniObject(const IniObject&) = delete;
    IniObject& operator=(const IniObject&) = delete;

    // Small objects come from pools of equal slots: scripts make them by the
    // hundred thousand, and a slot is neither rounded up nor headed.
    static void* operator new(std::size_t size);
    static void operator delete(void* pointer, std::size_t size);
    static void* operator new(std::size_t size, std::align_val_t alignment) {
        return ::operator new(size, alignment);
    }
    static void operator delete(void* pointer, std::size_t, std::align_val_t alignment) {
        ::operator delete(pointer, alignment);
    }

    virtual uint32_t valueSize() const { return 0; }
    virtual const void* valuePtr() const { return nullptr; }
    virtual ~IniObject();
    virtual const TypeObject* type() const = 0;
    virtual std::string toString() const;
    virtual bool isDynamic() const { return false; }
    virtual bool isLoaded() const { return true; }
    virtual void load() {}
    virtual void unload() {}
    virtual void execute(CommandObject& command);

    void addRef() { ++m_refCount; }
    void release();
    void hold(IniObject* other);
    void releaseHeld();
    void touch();
    bool getValue(void* destination);
    void publish();

    int32_t refCount() const { return m_refCount; }
    bool holds(const IniObject* other) const;
    std::size_t destinationCount() const;

    // Ties the destinations registered since the last claim to `consumer`.
    void claimDestinations(const IniObject* consumer);
    // Forgets destinations registered but never claimed (a failed construction).
    void dropUnclaimedDestinations();
    // Forgets every destination that belongs to `consumer`.
    void dropDestinationsOf(const IniObject* consumer);

    // Whether `to` can be reached from `from` through held references
    // (`from` itself included).
    static bool reaches(const IniObject* from, const IniObject* to);

    // Whether this object is of the given type; false for a null object.
    static bool isOfType(const IniObject* object, const TypeObject* type);

protected:
    // Makes room for `count` more held objects.
    void reserveHeld(std::size_t count);

private:
    friend void collectGarbage();
    friend class GarbageList;
    // What this object holds and where its value is copied to. Most objects
    // (numbers, vectors, strings) have neither, so it is made on first use.
    struct Links;
    struct LinksDeleter {
        void operator()(Links* links) const;
    };
    Links& links();

    // Null, or the next object in the garbage list when this one is queued
    // (a mark at the end of the list), or a mark for an object found dead.
    // The object stands in the list once, at its first entry: while the list
    // drains counts only fall, and a fall to zero queues the object again, so
    // a later entry could change nothing. Later entries are only counted.
    IniObject* m_nextQueued = nullptr;
    std::unique_ptr<Links, LinksDeleter> m_links;
    // Last, so that a derived class's first small field fills the padding.
    int32_t m_refCount = 0;
};

// Destroys every queued object whose count is below 1.
void collectGarbage();
// Number of entries in the garbage list (for tests and diagnostics).
std::size_t garbageListSize();

class TypeObject : public IniObject {
public:
    explicit TypeObject(const char* name);
    const TypeObject* type() const override;
    const char* name() const { return m_name; }

private:
    const char* m_name;
};

// Defines the function `fn` answering the type object called `name` (the text
// messages show), made at its first use and never destroyed. Written in the
// namespace that declares `fn`, usually Types:
//     VEXA_DEFINE_TYPE(EventList, "EventList")
#define VEXA_DEFINE_TYPE(fn, name)                                  \
    const TypeObject* fn() {                                        \
        static const TypeObject* const type = new TypeObject(name); \
        return type;                                                \
    }

// Type objects of the object core.
namespace Types {
const TypeObject* Type();
const TypeObject* Command();
const TypeObject* Bool();
const TypeObject* Number();
const TypeObject* String();
const TypeObject* Vec2d();
const TypeObject* Vec3d();
const TypeObject* Vec4d();
const TypeObject* Tuple();
const TypeObject* Block();
const TypeObject* Macro();
}  // namespace Types

template <typename T, int N>
struct Vec {
    T v[N] = {};
    T& operator[](int i) { return v[i]; }
    const T& operator[](int i) const { return v[i]; }
};
using Vec2f = Vec<float, 2>;
using Vec3f = Vec<float, 3>;
using Vec4f = Vec<float, 4>;

// A plain value: its bytes are what getValue and publish copy.
template <typename T>
class TIniObject : public IniObject {
public:
    TIniObject() = default;
    explicit TIniObject(const T& value) : m_value(value) {}
    uint32_t valueSize() const override { return sizeof(T); }
    const void* valuePtr() const override { return &m_value; }
    const T& value() const { return m_value; }
    T& value() { return m_value; }
    void setValue(const T& value) { m_value = value; }

protected:
    T m_value{};
};

class BoolObject : public TIniObject<bool> {
public:
    using TIniObject::TIniObject;
    const TypeObject* type() const override { return Types::Bool(); }
    std::string toString() const override;
};

class NumberObject : public TIniObject<float> {
public:
    using TIniObject::TIniObject;
    const TypeObject* type() const override { return Types::Number(); }
    std::string toString() const override;
};

class Vec2dObject : public TIniObject<Vec2f> {
public:
    using TIniObject::TIniObject;
    const TypeObject* type() const override { return Types::Vec2d(); }
    std::string toString() const override;
};

class Vec3dObject : public TIniObject<Vec3f> {
public:
    using TIniObject::TIniObject;
    const TypeObject* type() const override { return Types::Vec3d(); }
    std::string toString() const override;
};

class Vec4dObject : public TIniObject<Vec4f> {
public:
    using TIniObject::TIniObject;
    const TypeObject* type() const override { return Types::Vec4d(); }
    std::string toString() const override;
};

class StringObject : public IniObject {
public:
    explicit StringObject(std::string text) : m_value(std::move(text)) {}
    const TypeObject* type() const override { return Types::String(); }
    std::string toString() const override;
    const std::string& value() const { return m_value; }
    void setValue(const std::string& text) { m_value = text; }

private:
    std::string m_value;
};

// Elements in written order; each distinct element is held once.
class TupleObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Tuple(); }
    std::string toString() const override;
    void append(IniObject* element);
    // Makes room for `count` more elements.
    void reserve(std::size_t count);
    std::size_t size() const { return m_elements.size(); }
    IniObject* at(std::size_t index) const { return m_elements[index]; }
    const std::vector<IniObject*>& elements() const { return m_elements; }

private:
    std::vector<IniObject*> m_elements;
};

// A scope of bindings. Holds the value of every binding that is not local.
class BlockObject : public IniObject {
public:
    struct Binding {
        IniObject* value = nullptr;
        bool local = false;
    };
    using Map = std::map<std::string, Binding, std::less<>>;

    explicit BlockObject(BlockObject* parent = nullptr);
    ~BlockObject() override;
    const TypeObject* type() const override { return Types::Block(); }
    std::string toString() const override;

    // Binds `name`, replacing an earlier binding. The block holds the value
    // unless the binding is local (or `holdValue` says otherwise).
    void bind(std::string_view name, IniObject* value, bool local);
    void bind(std::string_view name, IniObject* value, bool local, bool holdValue);
    // The binding of `name` in this block only; null when absent or empty.
    const Binding* find(std::string_view name) const;
    IniObject* lookup(std::string_view name) const;
    void eraseLocals();
    const Map& bindings() const { return m_bindings; }
    BlockObject* parent() const { return m_parent; }

private:
    void unlink();

    Map m_bindings;
    // The parent is not owned. A block may outlive the scope it was written
    // in (a block returned by a macro, say), so every block knows its
    // children and hands them to its own parent when it is destroyed.
    BlockObject* m_parent;
    BlockObject* m_firstChild = nullptr;
    BlockObject* m_prevSibling = nullptr;
    BlockObject* m_nextSibling = nullptr;
};

// Text form of a float as a default-formatted output stream writes it.
std::string formatFloat(float value);

}  // namespace Vexa
