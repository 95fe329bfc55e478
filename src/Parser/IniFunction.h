#pragma once
// Script functions: one static instance per class, registered by name at
// start-up. A call stores the argument and the parameter scope, runs create(),
// and makes the new object hold every parameter object the accessors recorded.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "Parser/IniObject.h"

namespace Vexa {

// A script enumeration: (name, value) pairs ended by a pair with a null name.
struct EnumEntry {
    const char* name;
    int32_t value;
};

class IniFunction {
public:
    explicit IniFunction(const char* name);
    virtual IniObject* create() = 0;
    virtual ~IniFunction();

    IniFunction(const IniFunction&) = delete;
    IniFunction& operator=(const IniFunction&) = delete;

    // Registry.
    static bool isFunction(std::string_view name);
    static IniFunction* find(std::string_view name);
    // Runs the call protocol; "Undefined function name." when unregistered.
    static IniObject* call(std::string_view name, IniObject* argument, BlockObject* scope);
    static const std::map<std::string, IniFunction*, std::less<>>& registry();

    const char* name() const { return m_name; }

protected:
    IniObject* argument() const { return m_argument; }
    BlockObject* scope() const { return m_scope; }
    void record(IniObject* object);

    // Named parameters, looked up from the parameter scope outward.
    bool has(std::string_view name) const;
    IniObject* getObject(std::string_view name, const TypeObject* type = nullptr) const;
    IniObject* getRecordedObject(std::string_view name, const TypeObject* type);
    float getNumber(std::string_view name, float defaultValue) const;
    float getNumber(std::string_view name) const;
    int32_t getInt(std::string_view name, int32_t defaultValue) const;
    int32_t getInt(std::string_view name) const;
    std::string getString(std::string_view name) const;
    Vec4f getVec4(std::string_view name) const;
    const TypeObject* getType(std::string_view name) const;
    int32_t getEnum(std::string_view name, const EnumEntry* table) const;
    int32_t getEnum(const EnumEntry* table, std::string_view name, int32_t defaultValue) const;
    void bindNumber(std::string_view name, float* destination, float defaultValue);
    void bindVec3(std::string_view name, Vec3f* destination, const Vec3f& defaultValue);
    void bindVec4(std::string_view name, Vec4f* destination, const Vec4f& defaultValue);
    void bindNumber(std::string_view name, float* destination);
    void bindVec3(std::string_view name, Vec3f* destination);
    void bindVec4(std::string_view name, Vec4f* destination);

    // Positional parameters: the argument as a list.
    int count() const;
    IniObject* element(int index, const TypeObject* type = nullptr) const;
    IniObject* getRecordedElement(int index, const TypeObject* type);
    float elementNumber(int index) const;
    int32_t elementInt(int index) const;
    std::string elementString(int index) const;
    Vec3f elementVec3(int index) const;
    const TypeObject* elementType(int index) const;
    void bindElementNumber(int index, float* destination);
    void bindElementVec3(int index, Vec3f* destination);
    IniObject* wholeArgument(const TypeObject* type);

private:
    IniObject* findNamed(std::string_view name) const;
    IniObject* requireNamed(std::string_view name) const;
    void bindValue(IniObject* object, void* destination);

    const char* m_name;
    IniObject* m_argument = nullptr;
    BlockObject* m_scope = nullptr;
    std::set<IniObject*> m_used;
};

// Checks `object` against `type`; "<what> is <actual>. <expected> was expected."
void checkType(const IniObject* object, const TypeObject* type, const std::string& what);
// The value paired with `text` in the table; "Undefined enum name." otherwise.
int32_t lookupEnum(const EnumEntry* table, std::string_view text);

}  // namespace Vexa
