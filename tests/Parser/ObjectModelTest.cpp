// Reference counting with deferred collection, live copies of plain values,
// text forms and type tests of the object core.
#include <gtest/gtest.h>

#include <vector>

#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

VEXA_DEFINE_TYPE(trackedType, "Tracked")

// Counts its destructions in a counter owned by the test.
class Tracked : public IniObject {
public:
    explicit Tracked(int* destroyed) : m_destroyed(destroyed) {}
    ~Tracked() override { ++*m_destroyed; }
    const TypeObject* type() const override { return trackedType(); }

private:
    int* m_destroyed;
};

using Testing::AnimatedNumber;
using Testing::FieldConsumer;

class ObjectModelTest : public ::testing::Test {
protected:
    void SetUp() override { collectGarbage(); }
    void TearDown() override {
        collectGarbage();
        EXPECT_EQ(garbageListSize(), 0u);
    }
};

TEST_F(ObjectModelTest, ObjectReleasedToZeroAndHeldAgainSurvivesCollection) {
    int destroyed = 0;
    auto* object = new Tracked(&destroyed);
    auto* owner = new Tracked(&destroyed);
    object->addRef();
    object->release();
    EXPECT_EQ(garbageListSize(), 1u);
    owner->hold(object);
    collectGarbage();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(garbageListSize(), 0u);
    EXPECT_EQ(object->refCount(), 1);

    owner->touch();
    collectGarbage();
    EXPECT_EQ(destroyed, 2);  // the owner, then what only it held, in one collection
}

TEST_F(ObjectModelTest, CollectionDestroysOnceAndFollowsChainsOfHeldObjects) {
    int destroyed = 0;
    auto* a = new Tracked(&destroyed);
    auto* b = new Tracked(&destroyed);
    auto* c = new Tracked(&destroyed);
    a->hold(b);
    b->hold(c);
    a->touch();
    a->touch();
    EXPECT_EQ(garbageListSize(), 2u);
    collectGarbage();
    EXPECT_EQ(destroyed, 3);

    // The parser destroys its scopes directly; they leave the list then.
    auto* block = new BlockObject();
    block->touch();
    block->touch();
    delete block;
    EXPECT_EQ(garbageListSize(), 0u);
}

TEST_F(ObjectModelTest, TupleListsARepeatedElementTwiceButHoldsItOnce) {
    auto* number = new NumberObject(1.0f);
    auto* tuple = new TupleObject();
    tuple->append(number);
    tuple->append(number);
    EXPECT_EQ(tuple->size(), 2u);
    EXPECT_EQ(number->refCount(), 1);
    EXPECT_EQ(tuple->toString(), "( 1 1 )");
    tuple->touch();
}

TEST_F(ObjectModelTest, TextForms) {
    std::vector<IniObject*> made;
    auto keep = [&made](IniObject* o) {
        made.push_back(o);
        return o;
    };
    auto* tuple = new TupleObject();
    tuple->append(keep(new NumberObject(1.0f)));
    tuple->append(keep(new StringObject("x")));
    auto* block = new BlockObject();
    block->bind("b", keep(new NumberObject(2.0f)), true);
    block->bind("a", keep(new NumberObject(1.0f)), false);
    SimpleCommand draw(0.0f, CommandKinds::Draw());

    const struct {
        const IniObject* object;
        const char* text;
    } cases[] = {
        {keep(new BoolObject(true)), "1"},
        {keep(new NumberObject(2.5f)), "2.5"},
        {keep(new NumberObject(1e6f)), "1e+06"},
        {keep(new NumberObject(1.0f / 3.0f)), "0.333333"},
        {keep(new NumberObject(123456789.0f)), "1.23457e+08"},
        {keep(new Vec4dObject(Vec4f{{1, 2.5f, -3, 4}})), "< 1 2.5 -3 4 >"},
        {keep(new StringObject("abc")), "\"abc\""},
        {keep(tuple), "( 1 \"x\" )"},
        {keep(block), "{ a -> 1, b -> 2 (local binding),}"},
        {&draw, "[Command Draw]"},
        {Types::Number(), "[Type]"},
        {keep(new FieldConsumer()), "[TestFieldConsumer]"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.object->toString(), c.text);
    for (IniObject* o : made) o->touch();
}

TEST_F(ObjectModelTest, BlockBindingsReplaceAndLocalsAreNotHeld) {
    auto* block = new BlockObject();
    auto* one = new NumberObject(1.0f);
    auto* two = new NumberObject(2.0f);
    block->bind("a", one, false);
    block->bind("a", two, true);
    EXPECT_EQ(block->lookup("a"), two);
    EXPECT_EQ(two->refCount(), 0);
    EXPECT_EQ(block->lookup(""), nullptr);
    block->eraseLocals();
    EXPECT_EQ(block->lookup("a"), nullptr);
    two->touch();
    block->touch();
}

// The sanitizer build reports a write into a destroyed consumer here.
TEST_F(ObjectModelTest, ScriptBoundDynamicValueStopsWritingWhenItsConsumerIsCollected) {
    auto parser = std::make_unique<Parser>();
    parser->parseString(
        "d = TestAnimatedNumber 1\nc = TestFieldConsumer { value = d }\n"
        "e = TestFieldConsumer { value = d }");
    auto* dynamic = static_cast<AnimatedNumber*>(parser->lookup("d"));
    auto* kept = static_cast<FieldConsumer*>(parser->lookup("e"));
    dynamic->addRef();
    kept->addRef();
    EXPECT_EQ(dynamic->destinationCount(), 2u);
    EXPECT_EQ(kept->field, 1.0f);
    parser.reset();
    collectGarbage();  // c is destroyed, e is kept
    EXPECT_EQ(dynamic->destinationCount(), 1u);
    SimpleCommand update(6.0f, CommandKinds::Update());
    dynamic->execute(update);
    EXPECT_EQ(kept->field, 6.0f);
    kept->release();
    collectGarbage();
    dynamic->execute(update);
    dynamic->release();
}

}  // namespace
}  // namespace Vexa
