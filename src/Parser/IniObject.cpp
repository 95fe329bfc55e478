#include "Parser/IniObject.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <set>
#include <sstream>
#include <unordered_map>

#include "Parser/IniCommands.h"

namespace Vexa {

// Slots of the object pools, by multiples of 8 bytes; larger objects come
// from the general heap. Freed slots are reused for objects of the same
// size; the pool's memory is kept for the life of the process. Under the
// address sanitizer every object comes from the general heap, so that the
// sanitizer sees each one.
#if defined(__SANITIZE_ADDRESS__)
#define VEXA_OBJECT_POOLS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXA_OBJECT_POOLS 0
#endif
#endif
#ifndef VEXA_OBJECT_POOLS
#define VEXA_OBJECT_POOLS 1
#endif

namespace {

constexpr std::size_t kSlotStep = 8;
constexpr std::size_t kLargestSlot = 128;
constexpr std::size_t kPoolBlock = 256 * 1024;

struct FreeSlot {
    FreeSlot* next;
};

// Plain data only, so that it is usable before and after static constructors
// and destructors run.
struct ObjectPool {
    FreeSlot* free[kLargestSlot / kSlotStep + 1];
    char* cursor;
    char* end;
    // Each block begins with a pointer to the one before, so that a leak
    // checker finds them all reachable.
    char* lastBlock;
};
ObjectPool s_pool;

std::size_t slotClass(std::size_t size) { return (size + kSlotStep - 1) / kSlotStep; }

}  // namespace

void* IniObject::operator new(std::size_t size) {
    if (!VEXA_OBJECT_POOLS || size > kLargestSlot) return ::operator new(size);
    const std::size_t c = slotClass(size);
    if (FreeSlot* slot = s_pool.free[c]) {
        s_pool.free[c] = slot->next;
        return slot;
    }
    const std::size_t bytes = c * kSlotStep;
    if (static_cast<std::size_t>(s_pool.end - s_pool.cursor) < bytes) {
        char* block = static_cast<char*>(::operator new(kPoolBlock));
        std::memcpy(block, &s_pool.lastBlock, sizeof s_pool.lastBlock);
        s_pool.lastBlock = block;
        s_pool.cursor = block + kSlotStep;
        s_pool.end = block + kPoolBlock;
    }
    void* slot = s_pool.cursor;
    s_pool.cursor += bytes;
    return slot;
}

void IniObject::operator delete(void* pointer, std::size_t size) {
    if (!pointer) return;
    if (!VEXA_OBJECT_POOLS || size > kLargestSlot) {
        ::operator delete(pointer);
        return;
    }
    const std::size_t c = slotClass(size);
    auto* slot = static_cast<FreeSlot*>(pointer);
    slot->next = s_pool.free[c];
    s_pool.free[c] = slot;
}

struct IniObject::Links {
    struct Destination {
        void* address;
        const IniObject* consumer;
    };

    // Held objects: [0, sorted) ascending by address, then later additions
    // in the order they came, merged in once they grow. Objects made one
    // after another mostly come at rising addresses and just append.
    std::vector<IniObject*> held;
    std::size_t sorted = 0;
    std::vector<Destination> destinations;

    void sortHeld() {
        const auto middle = held.begin() + static_cast<std::ptrdiff_t>(sorted);
        std::sort(middle, held.end(), std::less<>());
        std::inplace_merge(held.begin(), middle, held.end(), std::less<>());
        sorted = held.size();
    }

    bool isHeld(const IniObject* object) const {
        const auto middle = held.begin() + static_cast<std::ptrdiff_t>(sorted);
        return std::binary_search(held.begin(), middle, object, std::less<>()) ||
               std::find(middle, held.end(), object) != held.end();
    }
};

// The process-wide garbage list: first in, first out, linked through the
// queued objects themselves. Entries beyond an object's first (an object
// touched when made and released to zero by its owner before a collection)
// are only counted, aside; the drain takes them out soon after they come.
class GarbageList {
public:
    // Marks in the link field, never dereferenced.
    static IniObject* endMark() { return reinterpret_cast<IniObject*>(&s_endMark); }
    static IniObject* deadMark() { return reinterpret_cast<IniObject*>(&s_deadMark); }

    static bool isQueued(const IniObject* object) {
        return object->m_nextQueued && object->m_nextQueued != deadMark();
    }

    static void push(IniObject* object) {
        if (object->m_nextQueued == deadMark()) return;
        ++s_entries;
        if (object->m_nextQueued) {
            ++laterEntries()[object];
            return;
        }
        object->m_nextQueued = endMark();
        if (s_tail)
            s_tail->m_nextQueued = object;
        else
            s_head = object;
        s_tail = object;
    }

    static IniObject* pop() {
        IniObject* object = s_head;
        if (!object) return nullptr;
        s_head = object->m_nextQueued == endMark() ? nullptr : object->m_nextQueued;
        if (!s_head) s_tail = nullptr;
        take(object);
        return object;
    }

    // Removes every entry of a queued object.
    static void remove(IniObject* object) {
        IniObject* previous = nullptr;
        for (IniObject* o = s_head; o; previous = o, o = next(o)) {
            if (o != object) continue;
            if (previous)
                previous->m_nextQueued = o->m_nextQueued;
            else
                s_head = next(o);
            if (s_tail == o) s_tail = previous;
            take(o);
            return;
        }
    }

    static std::size_t entries() { return s_entries; }

private:
    static IniObject* next(const IniObject* object) {
        return object->m_nextQueued == endMark() ? nullptr : object->m_nextQueued;
    }

    static void take(IniObject* object) {
        --s_entries;
        object->m_nextQueued = nullptr;
        auto& later = laterEntries();
        if (later.empty()) return;
        const auto it = later.find(object);
        if (it == later.end()) return;
        s_entries -= it->second;
        later.erase(it);
    }

    // Made once and never destroyed: objects may be released or destroyed
    // while static objects are being torn down.
    static std::unordered_map<const IniObject*, uint32_t>& laterEntries() {
        static auto* later = new std::unordered_map<const IniObject*, uint32_t>();
        return *later;
    }

    static char s_endMark;
    static char s_deadMark;
    static IniObject* s_head;
    static IniObject* s_tail;
    static std::size_t s_entries;
};

char GarbageList::s_endMark = 0;
char GarbageList::s_deadMark = 0;
IniObject* GarbageList::s_head = nullptr;
IniObject* GarbageList::s_tail = nullptr;
std::size_t GarbageList::s_entries = 0;

IniObject::~IniObject() {
    releaseHeld();
    if (GarbageList::isQueued(this)) GarbageList::remove(this);
}

// Scripts are mostly numbers: a number takes four words.
static_assert(sizeof(void*) != 8 || sizeof(NumberObject) == 32, "a number grew");

void IniObject::LinksDeleter::operator()(Links* links) const { delete links; }

IniObject::Links& IniObject::links() {
    if (!m_links) m_links.reset(new Links());
    return *m_links;
}

std::string IniObject::toString() const { return std::string("[") + type()->name() + "]"; }

void IniObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Load()) {
        load();
    } else if (kind == CommandKinds::Unload()) {
        unload();
    } else if (kind == CommandKinds::Print()) {
        std::cout << toString() << '\n' << std::flush;
    }
}

void IniObject::release() {
    --m_refCount;
    if (m_refCount > 0) return;
    GarbageList::push(this);
}

void IniObject::hold(IniObject* other) {
    if (!other) return;
    Links& l = links();
    std::vector<IniObject*>& held = l.held;
    if (l.sorted == held.size() && (held.empty() || std::less<>()(held.back(), other))) {
        held.push_back(other);
        ++l.sorted;
    } else {
        if (l.isHeld(other)) return;
        held.push_back(other);
        // Merging when the unsorted part outgrows the square root of the
        // whole keeps both the search and the merges cheap.
        const std::size_t recent = held.size() - l.sorted;
        if (recent > 8 && recent * recent > held.size()) l.sortHeld();
    }
    other->addRef();
}

void IniObject::reserveHeld(std::size_t count) {
    if (count == 0) return;
    std::vector<IniObject*>& held = links().held;
    held.reserve(held.size() + count);
}

bool IniObject::holds(const IniObject* other) const { return m_links && m_links->isHeld(other); }

void IniObject::releaseHeld() {
    if (!m_links || m_links->held.empty()) return;
    m_links->sortHeld();
    const std::vector<IniObject*> held = std::move(m_links->held);
    m_links->held.clear();
    m_links->sorted = 0;
    for (IniObject* object : held) {
        object->dropDestinationsOf(this);
        object->release();
    }
}

void IniObject::touch() {
    addRef();
    release();
}

bool IniObject::getValue(void* destination) {
    std::memcpy(destination, valuePtr(), valueSize());
    if (!isDynamic()) return false;
    links().destinations.push_back({destination, nullptr});
    return true;
}

void IniObject::publish() {
    if (!m_links) return;
    const void* source = valuePtr();
    const uint32_t size = valueSize();
    for (const Links::Destination& d : m_links->destinations) std::memcpy(d.address, source, size);
}

std::size_t IniObject::destinationCount() const {
    return m_links ? m_links->destinations.size() : 0;
}

void IniObject::claimDestinations(const IniObject* consumer) {
    if (!m_links) return;
    for (Links::Destination& d : m_links->destinations)
        if (!d.consumer) d.consumer = consumer;
}

void IniObject::dropUnclaimedDestinations() {
    if (!m_links) return;
    auto& v = m_links->destinations;
    v.erase(
        std::remove_if(v.begin(), v.end(), [](const Links::Destination& d) { return !d.consumer; }),
        v.end());
}

void IniObject::dropDestinationsOf(const IniObject* consumer) {
    if (!m_links || m_links->destinations.empty()) return;
    auto& v = m_links->destinations;
    v.erase(
        std::remove_if(v.begin(), v.end(),
                       [consumer](const Links::Destination& d) { return d.consumer == consumer; }),
        v.end());
}

bool IniObject::reaches(const IniObject* from, const IniObject* to) {
    if (!from || !to) return false;
    if (from == to) return true;
    if (!from->m_links || from->m_links->held.empty()) return false;
    std::vector<const IniObject*> pending{from};
    std::set<const IniObject*> seen{from};
    while (!pending.empty()) {
        const IniObject* o = pending.back();
        pending.pop_back();
        if (o == to) return true;
        if (!o->m_links) continue;
        for (const IniObject* h : o->m_links->held)
            if (seen.insert(h).second) pending.push_back(h);
    }
    return false;
}

bool IniObject::isOfType(const IniObject* object, const TypeObject* type) {
    return object && object->type() == type;
}

// Drains the whole list first, releasing what each dead object held (which
// may queue more), and only then destroys the dead, each once, in the order
// they were found.
void collectGarbage() {
    std::vector<IniObject*> dead;
    while (IniObject* object = GarbageList::pop()) {
        if (object->m_refCount >= 1) continue;
        object->m_nextQueued = GarbageList::deadMark();
        object->releaseHeld();
        dead.push_back(object);
    }
    for (IniObject* object : dead) delete object;
}

std::size_t garbageListSize() { return GarbageList::entries(); }

TypeObject::TypeObject(const char* name) : m_name(name) { addRef(); }

const TypeObject* TypeObject::type() const { return Types::Type(); }

namespace Types {
VEXA_DEFINE_TYPE(Type, "Type")
VEXA_DEFINE_TYPE(Command, "Command")
VEXA_DEFINE_TYPE(Bool, "Bool")
VEXA_DEFINE_TYPE(Number, "Number")
VEXA_DEFINE_TYPE(String, "String")
VEXA_DEFINE_TYPE(Vec2d, "Vec2d")
VEXA_DEFINE_TYPE(Vec3d, "Vec3d")
VEXA_DEFINE_TYPE(Vec4d, "Vec4d")
VEXA_DEFINE_TYPE(Tuple, "Tuple")
VEXA_DEFINE_TYPE(Block, "Block")
VEXA_DEFINE_TYPE(Macro, "Macro")
}  // namespace Types

std::string formatFloat(float value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

namespace {
template <int N>
std::string vectorText(const Vec<float, N>& v) {
    std::string text = "<";
    for (int i = 0; i < N; ++i) text += " " + formatFloat(v[i]);
    return text + " >";
}
}  // namespace

std::string BoolObject::toString() const { return m_value ? "1" : "0"; }
std::string NumberObject::toString() const { return formatFloat(m_value); }
std::string Vec2dObject::toString() const { return vectorText(m_value); }
std::string Vec3dObject::toString() const { return vectorText(m_value); }
std::string Vec4dObject::toString() const { return vectorText(m_value); }
std::string StringObject::toString() const { return "\"" + m_value + "\""; }

void TupleObject::reserve(std::size_t count) {
    m_elements.reserve(m_elements.size() + count);
    reserveHeld(count);
}

void TupleObject::append(IniObject* element) {
    m_elements.push_back(element);
    hold(element);
}

std::string TupleObject::toString() const {
    std::string text = "( ";
    for (const IniObject* e : m_elements)
        if (e) text += e->toString() + " ";
    return text + ")";
}

BlockObject::BlockObject(BlockObject* parent) : m_parent(parent) {
    if (!m_parent) return;
    m_nextSibling = m_parent->m_firstChild;
    if (m_nextSibling) m_nextSibling->m_prevSibling = this;
    m_parent->m_firstChild = this;
}

BlockObject::~BlockObject() {
    unlink();
    // Children now look up through this block's parent.
    while (BlockObject* child = m_firstChild) {
        child->unlink();
        child->m_parent = m_parent;
        if (m_parent) {
            child->m_nextSibling = m_parent->m_firstChild;
            if (child->m_nextSibling) child->m_nextSibling->m_prevSibling = child;
            m_parent->m_firstChild = child;
        }
    }
}

void BlockObject::unlink() {
    if (m_prevSibling)
        m_prevSibling->m_nextSibling = m_nextSibling;
    else if (m_parent && m_parent->m_firstChild == this)
        m_parent->m_firstChild = m_nextSibling;
    if (m_nextSibling) m_nextSibling->m_prevSibling = m_prevSibling;
    m_prevSibling = nullptr;
    m_nextSibling = nullptr;
}

void BlockObject::bind(std::string_view name, IniObject* value, bool local) {
    bind(name, value, local, !local);
}

void BlockObject::bind(std::string_view name, IniObject* value, bool local, bool holdValue) {
    auto it = m_bindings.find(name);
    if (it == m_bindings.end()) it = m_bindings.emplace(std::string(name), Binding{}).first;
    it->second.value = value;
    it->second.local = local;
    if (holdValue) hold(value);
}

const BlockObject::Binding* BlockObject::find(std::string_view name) const {
    if (name.empty()) return nullptr;
    auto it = m_bindings.find(name);
    return it == m_bindings.end() ? nullptr : &it->second;
}

IniObject* BlockObject::lookup(std::string_view name) const {
    const Binding* b = find(name);
    return b ? b->value : nullptr;
}

void BlockObject::eraseLocals() {
    for (auto it = m_bindings.begin(); it != m_bindings.end();) {
        if (it->second.local)
            it = m_bindings.erase(it);
        else
            ++it;
    }
}

std::string BlockObject::toString() const {
    std::string text = "{";
    for (const auto& [name, binding] : m_bindings) {
        text += " " + name + " -> ";
        if (binding.value) text += binding.value->toString();
        if (binding.local) text += " (local binding)";
        text += ",";
    }
    return text + "}";
}

}  // namespace Vexa
