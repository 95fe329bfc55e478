#pragma once
// Script functions. Each unit lists the functions it offers in one table of
// (name, instance) pairs and registers it from one static registrar:
//
//     F_Envelope s_envelope;
//     F_VectorEnvelope s_envelope2d(2);
//     const FunctionEntry kFunctions[] = {
//         {"Envelope", &s_envelope},
//         {"Envelope2d", &s_envelope2d},
//     };
//     const FunctionRegistrar s_registrar(kFunctions);
//
// A call stores the argument and the parameter scope, runs create(), and makes
// the new object hold every parameter object the accessors recorded.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Parser/EnumTable.h"
#include "Parser/IniObject.h"

namespace Vexa {

class IniFunction {
public:
    IniFunction() = default;
    virtual IniObject* create() = 0;
    virtual ~IniFunction() = default;

    IniFunction(const IniFunction&) = delete;
    IniFunction& operator=(const IniFunction&) = delete;

    // Registry. Names are not copied: they are the string literals of the
    // units' tables. Registering a name that is already registered throws
    // "Function 'X' is registered twice." and leaves the registry unchanged.
    static void registerFunction(const char* name, IniFunction* function);
    static void unregisterFunction(std::string_view name);
    static bool isFunction(std::string_view name);
    static IniFunction* find(std::string_view name);
    // Runs the call protocol; "Undefined function name." when unregistered.
    static IniObject* call(std::string_view name, IniObject* argument, BlockObject* scope);

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
    int32_t getEnum(std::string_view name, const EnumEntry* table, int32_t defaultValue) const;
    // Copies the value into the destination (which follows it when it is
    // animated); an absent parameter writes the default.
    void bindNumber(std::string_view name, float* destination, float defaultValue);
    void bindVec3(std::string_view name, Vec3f* destination, const Vec3f& defaultValue);
    void bindVec4(std::string_view name, Vec4f* destination, const Vec4f& defaultValue);
    // As above, but an absent parameter leaves the destination unchanged.
    void bindNumberIfGiven(std::string_view name, float* destination);
    void bindVec3IfGiven(std::string_view name, Vec3f* destination);
    void bindVec4IfGiven(std::string_view name, Vec4f* destination);

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

    IniObject* m_argument = nullptr;
    BlockObject* m_scope = nullptr;
    std::set<IniObject*> m_used;
};

// One line of a unit's function table.
struct FunctionEntry {
    const char* name;
    IniFunction* function;
};

// Registers a unit's function table during static initialisation and removes
// it again at exit. A name registered twice is a programmer error: it prints
// one line naming the function and ends the process with a failure status.
class FunctionRegistrar {
public:
    template <std::size_t N>
    explicit FunctionRegistrar(const FunctionEntry (&table)[N]) : FunctionRegistrar(table, N) {}
    FunctionRegistrar(const FunctionEntry* table, std::size_t count);
    ~FunctionRegistrar();

    FunctionRegistrar(const FunctionRegistrar&) = delete;
    FunctionRegistrar& operator=(const FunctionRegistrar&) = delete;

private:
    const FunctionEntry* m_table;
    std::size_t m_count;
};

// Truncation toward zero, defined for every float (NaN gives 0, values out of
// range the nearest limit): how a number parameter becomes an integer.
int32_t truncateToInt(float value);

// Checks `object` against `type`; "<what> is <actual>. <expected> was expected."
void checkType(const IniObject* object, const TypeObject* type, const std::string& what);

// The second objects of a tuple of (number, object) pairs, each of `type`
// when one is given; "<name> has invalid format." for anything else.
std::vector<IniObject*> pairedObjects(const IniObject* tuple, const std::string& name,
                                      const TypeObject* type = nullptr);

}  // namespace Vexa
