#include "Parser/IniFunction.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Parser/IniFunction";

namespace {

// Function names (the literals of the units' tables) to instances, for the
// lookup the parser makes at every name it reads.
using Registry = std::unordered_map<std::string_view, IniFunction*>;

Registry& registry() {
    static Registry map;
    return map;
}

const char* typeName(const IniObject* object) { return object ? object->type()->name() : "null"; }

}  // namespace

int32_t truncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void checkType(const IniObject* object, const TypeObject* type, const std::string& what) {
    if (!type || IniObject::isOfType(object, type)) return;
    VEXA_THROW(ParseException,
               what + " is " + typeName(object) + ". " + type->name() + " was expected.");
}

std::vector<IniObject*> pairedObjects(const IniObject* object, const std::string& name,
                                      const TypeObject* type) {
    const std::string invalid = name + " has invalid format.";
    if (!IniObject::isOfType(object, Types::Tuple())) VEXA_THROW(FunctionParseException, invalid);
    const auto* tuple = static_cast<const TupleObject*>(object);
    if (tuple->size() % 2 != 0) VEXA_THROW(FunctionParseException, invalid);
    std::vector<IniObject*> objects;
    for (std::size_t i = 0; i < tuple->size(); i += 2) {
        if (!IniObject::isOfType(tuple->at(i), Types::Number()) ||
            (type && !IniObject::isOfType(tuple->at(i + 1), type)))
            VEXA_THROW(FunctionParseException, invalid);
        objects.push_back(tuple->at(i + 1));
    }
    return objects;
}

int32_t lookupEnum(const EnumEntry* table, std::string_view text) {
    for (const EnumEntry* e = table; e->name; ++e)
        if (text == e->name) return e->value;
    VEXA_THROW(ParseException, "Undefined enum name.");
}

void IniFunction::registerFunction(const char* name, IniFunction* function) {
    if (!registry().emplace(name, function).second)
        VEXA_THROW(Exception, std::string("Function '") + name + "' is registered twice.");
}

void IniFunction::unregisterFunction(std::string_view name) { registry().erase(name); }

FunctionRegistrar::FunctionRegistrar(const FunctionEntry* table, std::size_t count)
    : m_table(table), m_count(count) {
    for (std::size_t i = 0; i < count; ++i) {
        try {
            IniFunction::registerFunction(table[i].name, table[i].function);
        } catch (const Exception& e) {
            std::fprintf(stderr, "vexa: %s\n", e.message().c_str());
            std::exit(EXIT_FAILURE);
        }
    }
}

FunctionRegistrar::~FunctionRegistrar() {
    for (std::size_t i = 0; i < m_count; ++i) IniFunction::unregisterFunction(m_table[i].name);
}

bool IniFunction::isFunction(std::string_view name) { return find(name) != nullptr; }

IniFunction* IniFunction::find(std::string_view name) {
    const auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}

// Call protocol: the new object holds every recorded parameter (and so keeps
// receiving the animated ones); a temporary argument nobody recorded is
// touched so the next collection takes it.
IniObject* IniFunction::call(std::string_view name, IniObject* argument, BlockObject* scope) {
    IniFunction* f = find(name);
    if (!f) VEXA_THROW(Exception, "Undefined function name.");
    f->m_argument = argument;
    f->m_scope = scope;
    IniObject* result = nullptr;
    try {
        result = f->create();
    } catch (...) {
        for (IniObject* used : f->m_used) used->dropUnclaimedDestinations();
        f->m_used.clear();
        f->m_argument = nullptr;
        f->m_scope = nullptr;
        if (argument) argument->touch();
        throw;
    }
    for (IniObject* used : f->m_used) {
        used->claimDestinations(result);
        if (result) result->hold(used);
    }
    const bool argumentUsed = f->m_used.count(argument) != 0;
    f->m_used.clear();
    f->m_argument = nullptr;
    f->m_scope = nullptr;
    if (argument && !argumentUsed) argument->touch();
    return result;
}

void IniFunction::record(IniObject* object) {
    if (object) m_used.insert(object);
}

IniObject* IniFunction::findNamed(std::string_view name) const {
    for (const BlockObject* b = m_scope; b; b = b->parent())
        if (const BlockObject::Binding* binding = b->find(name)) return binding->value;
    return nullptr;
}

IniObject* IniFunction::requireNamed(std::string_view name) const {
    IniObject* object = findNamed(name);
    if (!object) VEXA_THROW(ParseException, "Name '" + std::string(name) + "' is not defined.");
    return object;
}

bool IniFunction::has(std::string_view name) const { return findNamed(name) != nullptr; }

IniObject* IniFunction::getObject(std::string_view name, const TypeObject* type) const {
    IniObject* object = requireNamed(name);
    checkType(object, type, std::string(name));
    return object;
}

IniObject* IniFunction::getRecordedObject(std::string_view name, const TypeObject* type) {
    IniObject* object = getObject(name, type);
    record(object);
    return object;
}

float IniFunction::getNumber(std::string_view name, float defaultValue) const {
    return has(name) ? getNumber(name) : defaultValue;
}

float IniFunction::getNumber(std::string_view name) const {
    return static_cast<NumberObject*>(getObject(name, Types::Number()))->value();
}

int32_t IniFunction::getInt(std::string_view name, int32_t defaultValue) const {
    return has(name) ? getInt(name) : defaultValue;
}

int32_t IniFunction::getInt(std::string_view name) const { return truncateToInt(getNumber(name)); }

std::string IniFunction::getString(std::string_view name) const {
    return static_cast<StringObject*>(getObject(name, Types::String()))->value();
}

Vec4f IniFunction::getVec4(std::string_view name) const {
    return static_cast<Vec4dObject*>(getObject(name, Types::Vec4d()))->value();
}

const TypeObject* IniFunction::getType(std::string_view name) const {
    return requireNamed(name)->type();
}

int32_t IniFunction::getEnum(std::string_view name, const EnumEntry* table) const {
    return lookupEnum(table, getString(name));
}

int32_t IniFunction::getEnum(std::string_view name, const EnumEntry* table,
                             int32_t defaultValue) const {
    return has(name) ? getEnum(name, table) : defaultValue;
}

void IniFunction::bindValue(IniObject* object, void* destination) {
    if (object->getValue(destination)) record(object);
}

void IniFunction::bindNumber(std::string_view name, float* destination, float defaultValue) {
    if (!has(name)) {
        *destination = defaultValue;
        return;
    }
    bindNumberIfGiven(name, destination);
}

void IniFunction::bindVec3(std::string_view name, Vec3f* destination, const Vec3f& defaultValue) {
    if (!has(name)) {
        *destination = defaultValue;
        return;
    }
    bindVec3IfGiven(name, destination);
}

void IniFunction::bindVec4(std::string_view name, Vec4f* destination, const Vec4f& defaultValue) {
    if (!has(name)) {
        *destination = defaultValue;
        return;
    }
    bindVec4IfGiven(name, destination);
}

void IniFunction::bindNumberIfGiven(std::string_view name, float* destination) {
    if (has(name)) bindValue(getObject(name, Types::Number()), destination);
}

void IniFunction::bindVec3IfGiven(std::string_view name, Vec3f* destination) {
    if (has(name)) bindValue(getObject(name, Types::Vec3d()), destination);
}

void IniFunction::bindVec4IfGiven(std::string_view name, Vec4f* destination) {
    if (has(name)) bindValue(getObject(name, Types::Vec4d()), destination);
}

int IniFunction::count() const {
    if (IniObject::isOfType(m_argument, Types::Tuple()))
        return static_cast<int>(static_cast<TupleObject*>(m_argument)->size());
    return 1;
}

IniObject* IniFunction::element(int index, const TypeObject* type) const {
    IniObject* object = nullptr;
    if (IniObject::isOfType(m_argument, Types::Tuple())) {
        if (index < 0 || index >= count()) VEXA_THROW(ParseException, "Tuple index out of range.");
        object = static_cast<TupleObject*>(m_argument)->at(static_cast<std::size_t>(index));
    } else {
        if (index != 0) VEXA_THROW(ParseException, "Only one parameter given.");
        object = m_argument;
    }
    checkType(object, type, "Tuple element " + std::to_string(index));
    return object;
}

IniObject* IniFunction::getRecordedElement(int index, const TypeObject* type) {
    IniObject* object = element(index, type);
    record(object);
    return object;
}

float IniFunction::elementNumber(int index) const {
    return static_cast<NumberObject*>(element(index, Types::Number()))->value();
}

int32_t IniFunction::elementInt(int index) const { return truncateToInt(elementNumber(index)); }

std::string IniFunction::elementString(int index) const {
    return static_cast<StringObject*>(element(index, Types::String()))->value();
}

Vec3f IniFunction::elementVec3(int index) const {
    return static_cast<Vec3dObject*>(element(index, Types::Vec3d()))->value();
}

const TypeObject* IniFunction::elementType(int index) const {
    const IniObject* object = element(index);
    return object ? object->type() : nullptr;
}

void IniFunction::bindElementNumber(int index, float* destination) {
    bindValue(element(index, Types::Number()), destination);
}

void IniFunction::bindElementVec3(int index, Vec3f* destination) {
    bindValue(element(index, Types::Vec3d()), destination);
}

IniObject* IniFunction::wholeArgument(const TypeObject* type) {
    checkType(m_argument, type, "Parameter");
    record(m_argument);
    return m_argument;
}

}  // namespace Vexa
