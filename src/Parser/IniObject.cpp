#include "Parser/IniObject.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <iostream>
#include <sstream>

#include "Parser/IniCommands.h"

namespace Vexa {

namespace {

std::deque<IniObject*>& garbageList() {
    static std::deque<IniObject*> list;
    return list;
}

}  // namespace

IniObject::~IniObject() {
    releaseHeld();
    if (m_queued > 0) {
        auto& list = garbageList();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    delete m_destinations;
}

std::string IniObject::toString() const {
    return std::string("[") + type()->name() + "]";
}

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
    garbageList().push_back(this);
    ++m_queued;
}

void IniObject::hold(IniObject* other) {
    if (!other) return;
    if (!m_held) m_held = std::make_unique<std::set<IniObject*>>();
    if (m_held->insert(other).second) other->addRef();
}

bool IniObject::holds(const IniObject* other) const {
    return m_held && m_held->count(const_cast<IniObject*>(other)) != 0;
}

void IniObject::releaseHeld() {
    if (!m_held) return;
    const std::unique_ptr<std::set<IniObject*>> held = std::move(m_held);
    for (IniObject* object : *held) {
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
    if (!m_destinations) m_destinations = new std::vector<Destination>();
    m_destinations->push_back({destination, nullptr});
    return true;
}

void IniObject::publish() {
    if (!m_destinations) return;
    const void* source = valuePtr();
    const uint32_t size = valueSize();
    for (const Destination& d : *m_destinations) std::memcpy(d.address, source, size);
}

void IniObject::claimDestinations(const IniObject* consumer) {
    if (!m_destinations) return;
    for (Destination& d : *m_destinations)
        if (!d.consumer) d.consumer = consumer;
}

void IniObject::dropUnclaimedDestinations() {
    if (!m_destinations) return;
    auto& v = *m_destinations;
    v.erase(std::remove_if(v.begin(), v.end(), [](const Destination& d) { return !d.consumer; }),
            v.end());
}

void IniObject::dropDestinationsOf(const IniObject* consumer) {
    if (!m_destinations) return;
    auto& v = *m_destinations;
    v.erase(std::remove_if(v.begin(), v.end(),
                           [consumer](const Destination& d) { return d.consumer == consumer; }),
            v.end());
}

bool IniObject::reaches(const IniObject* from, const IniObject* to) {
    if (!from || !to) return false;
    std::vector<const IniObject*> pending{from};
    std::set<const IniObject*> seen{from};
    while (!pending.empty()) {
        const IniObject* o = pending.back();
        pending.pop_back();
        if (o == to) return true;
        if (!o->m_held) continue;
        for (const IniObject* h : *o->m_held)
            if (seen.insert(h).second) pending.push_back(h);
    }
    return false;
}

bool IniObject::isOfType(const IniObject* object, const TypeObject* type) {
    return object && object->type() == type;
}

void collectGarbage() {
    auto& list = garbageList();
    std::vector<IniObject*> dead;
    while (!list.empty()) {
        IniObject* object = list.front();
        list.pop_front();
        --object->m_queued;
        if (object->m_refCount < 1) {
            object->releaseHeld();
            if (object->m_queued == 0) dead.push_back(object);
        }
    }
    for (IniObject* object : dead) delete object;
}

std::size_t garbageListSize() { return garbageList().size(); }

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
