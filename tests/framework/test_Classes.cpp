// The component model and the project reader.
#include "framework/fw_Classes.h"
#include "framework/fw_Reader.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace fw_Classes;
using test_support::Raises;

namespace {

std::vector<std::string> Log; // what the test components saw, in order
int Alive = 0;                // test components in existence

enum TShade { shLight, shDark, shDeep };
using TShades = TSet<TShade>;
const TEnumInfo TShadeInfo{"TShade", {"shLight", "shDark", "shDeep"}};

class TInfo : public TPersistent {
    FW_CLASS(TInfo, TPersistent)
public:
    std::string Company = "My Company";
    int Level = 0;
};

static void DefineInfo(TPropertyBuilder<TInfo>& P)
{
    P.String("Company", &TInfo::Company, &TInfo::Company);
    P.Integer("Level", &TInfo::Level, &TInfo::Level, 0);
}
FW_DEFINE_CLASS(TInfo, TPersistent, nullptr, DefineInfo)

// FW_DEFINE_CLASS stops a parent other than FW_CLASS's at compile time: a
// wrong use cannot be built, so it is no CTest case; the check it makes is.
static_assert(DeclaresParent<TInfo, TPersistent>);
static_assert(!DeclaresParent<TInfo, TObject>);

class TEntry : public TCollectionItem {
    FW_CLASS(TEntry, TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    std::string Ident;
    int Value = 0;
};

static void DefineEntry(TPropertyBuilder<TEntry>& P)
{
    P.String("Ident", &TEntry::Ident, &TEntry::Ident);
    P.Integer("Value", &TEntry::Value, &TEntry::Value, 0);
}
FW_DEFINE_CLASS(TEntry, TCollectionItem, nullptr, DefineEntry)

class TNode : public TComponent {
    FW_CLASS(TNode, TComponent)
public:
    explicit TNode(TComponent* AOwner) : TComponent(AOwner) { ++Alive; }
    ~TNode() override
    {
        --Alive;
        Log.push_back("free " + Name());
    }

    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == TOperation::opRemove) {
            Log.push_back(Name() + " hears " + AComponent->Name() + " go");
            if (AComponent == FLink)
                FLink = nullptr;
        }
    }
    void Loaded() override
    {
        TComponent::Loaded();
        Log.push_back("loaded " + Name() + (FLink ? " -> " + FLink->Name() : ""));
        if (Text == "refuse")
            throw Exception("refused by " + Name());
    }

    TNode* Link() const { return FLink; }
    void SetLink(TNode* Value)
    {
        FLink = Value;
        if (Value)
            Value->FreeNotification(this);
    }
    TInfo* Info() { return &FInfo; }
    TCollection* Entries() { return &FEntries; }
    TStringList* Lines() { return &FLines; }

    std::string Text;
    int Count = -1;
    bool Flag = true;
    double Ratio = 0;
    TShade Shade = shLight;
    TShades Shades{shLight};
    std::vector<uint8_t> Bytes;

private:
    TNode* FLink = nullptr;
    TInfo FInfo;
    TCollection FEntries{CreateItem<TEntry>};
    TStringList FLines;
};

static void DefineNode(TPropertyBuilder<TNode>& P)
{
    P.String("Text", &TNode::Text, &TNode::Text).Stored([](TNode* N) { return N->Text != "unstored"; });
    P.Integer("Count", &TNode::Count, &TNode::Count, -1);
    P.Boolean("Flag", &TNode::Flag, &TNode::Flag, true);
    P.Float("Ratio", &TNode::Ratio, &TNode::Ratio);
    P.Enum<TShade>("Shade", TShadeInfo, &TNode::Shade, &TNode::Shade, shLight);
    P.Set<TShades>("Shades", TShadeInfo, &TNode::Shades, &TNode::Shades, TShades{shLight});
    P.Reference<TNode>("Link", &TNode::Link, &TNode::SetLink);
    P.Object<TInfo>("Info", &TNode::Info);
    P.Object<TCollection>("Entries", &TNode::Entries);
    P.Object<TStringList>("Lines", &TNode::Lines);
    P.Binary("Bytes", &TNode::Bytes, &TNode::Bytes);
}
FW_DEFINE_CLASS(TNode, TComponent, CreateComponent<TNode>, DefineNode)

class TLeaf : public TNode {
    FW_CLASS(TLeaf, TNode)
public:
    using TNode::TNode;
};
FW_DEFINE_CLASS(TLeaf, TNode, CreateComponent<TLeaf>, nullptr)

class TRoot : public TNode {
    FW_CLASS(TRoot, TNode)
public:
    using TNode::TNode;
};
FW_DEFINE_CLASS(TRoot, TNode, CreateComponent<TRoot>, nullptr)

// Makes a helper of its own, owned by its owner, as it is created.
class TMaker : public TNode {
    FW_CLASS(TMaker, TNode)
public:
    explicit TMaker(TComponent* AOwner) : TNode(AOwner) { new TLeaf(AOwner); }
};
FW_DEFINE_CLASS(TMaker, TNode, CreateComponent<TMaker>, nullptr)

struct Registered {
    Registered()
    {
        RegisterClasses({&TNode::StaticClass(), &TLeaf::StaticClass(), &TRoot::StaticClass(), &TMaker::StaticClass()});
    }
} const Registration;

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Log.clear();
        Alive = 0;
    }
};

} // namespace

TEST_F(ComponentTest, OwnerFreesWhatItOwnsAndEveryoneHearsOfRemovals)
{
    auto* Root = new TRoot(nullptr);
    Root->SetName("Root");
    auto* A = new TNode(Root);
    A->SetName("A");
    auto* B = new TLeaf(Root);
    B->SetName("B");
    auto* Outsider = new TNode(nullptr);
    Outsider->SetName("Out");
    Outsider->SetLink(A); // across owners: only a free-notification tells it
    EXPECT_EQ(Root->ComponentCount(), 2);
    EXPECT_EQ(Root->FindComponent("b"), B);
    EXPECT_EQ(B->ClassName(), "TLeaf");
    EXPECT_TRUE(B->Is<TNode>());
    EXPECT_FALSE(A->Is<TLeaf>());

    Log.clear();
    delete A;
    EXPECT_EQ(Outsider->Link(), nullptr);
    EXPECT_EQ(Root->ComponentCount(), 1);
    EXPECT_EQ(Log, (std::vector<std::string>{"free A", "Out hears A go", "B hears A go", "Root hears A go"}));

    Log.clear();
    delete Root; // frees B, the newest first
    EXPECT_EQ(Log.front(), "free Root");
    EXPECT_EQ(Alive, 1);
    delete Outsider;
    EXPECT_EQ(Alive, 0);
}

TEST_F(ComponentTest, NamesAreUniqueAmongTheOwnersComponents)
{
    TRoot Root(nullptr);
    auto* A = new TNode(&Root);
    A->SetName("Dlg");
    auto* B = new TNode(&Root);
    EXPECT_TRUE(Raises<EComponentError>([&] { B->SetName("DLG"); }, "A component named DLG already exists"));
    EXPECT_EQ(B->Name(), "");
    EXPECT_THROW(B->SetName("1st"), EComponentError);
    EXPECT_THROW(B->SetName("a b"), EComponentError);
    A->SetName("DLG"); // the same component may change the case of its own name
    EXPECT_EQ(A->Name(), "DLG");
    B->SetName("Dlg1");
    EXPECT_EQ(Root.FindComponent("dlg1"), B);
}

static const char* const SampleProject = R"(object Root: TRoot
  Text = 'It''s a'#13#10'test'
  Shades = []
  object First: TNode
    Link = Second
    Count = 42
    Flag = False
    Ratio = 2.5
    Shade = shDeep
    Shades = [shDark, shDeep]
    Info.Company = 'Caldrevin'
    Info.Level = $10
    Entries = <
      item
        Ident = 'MainLeft'
        Value = -3
      end
      item
        Ident = 'MainTop'
      end>
    Lines.Strings = (
      'one'
      'two, ' +
        'continued')
    Bytes = {
      00FF10}
  end
  object Second: TLeaf
    Link = Root
  end
end
)";

TEST_F(ComponentTest, ReaderBuildsTheTreeAndWriterGivesItBack)
{
    {
        TRoot Root(nullptr);
        fw_Reader::ReadComponentText(&Root, SampleProject);
        ASSERT_EQ(Root.ComponentCount(), 2);
        auto* First = dynamic_cast<TNode*>(Root.FindComponent("First"));
        auto* Second = dynamic_cast<TLeaf*>(Root.FindComponent("Second"));
        ASSERT_TRUE(First && Second);
        EXPECT_EQ(Root.Name(), "Root");
        EXPECT_EQ(Root.Text, "It's a\r\ntest");
        EXPECT_TRUE(Root.Shades.Empty());
        EXPECT_EQ(First->Link(), Second); // a reference to a component read later
        EXPECT_EQ(Second->Link(), &Root);
        EXPECT_EQ(First->Count, 42);
        EXPECT_FALSE(First->Flag);
        EXPECT_DOUBLE_EQ(First->Ratio, 2.5);
        EXPECT_EQ(First->Shade, shDeep);
        EXPECT_EQ(First->Shades, (TShades{shDark, shDeep}));
        EXPECT_EQ(First->Info()->Company, "Caldrevin");
        EXPECT_EQ(First->Info()->Level, 16);
        ASSERT_EQ(First->Entries()->Count(), 2);
        EXPECT_EQ(static_cast<TEntry*>(First->Entries()->Items(0))->Value, -3);
        EXPECT_EQ(static_cast<TEntry*>(First->Entries()->Items(1))->Ident, "MainTop");
        EXPECT_EQ(First->Lines()->ToVector(), (std::vector<std::string>{"one", "two, continued"}));
        EXPECT_EQ(First->Bytes, (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
        EXPECT_FALSE(First->IsLoading());
        // Loaded runs on the root, then in reading order, with references set.
        EXPECT_EQ(Log, (std::vector<std::string>{"loaded Root", "loaded First -> Second", "loaded Second -> Root"}));

        std::string Written = fw_Reader::WriteComponentText(&Root);
        TRoot Again(nullptr);
        fw_Reader::ReadComponentText(&Again, Written);
        EXPECT_EQ(fw_Reader::WriteComponentText(&Again), Written);
        EXPECT_EQ(dynamic_cast<TNode*>(Again.FindComponent("First"))->Link(), Again.FindComponent("Second"));
        Again.Text = "unstored";
        EXPECT_EQ(fw_Reader::WriteComponentText(&Again).find("unstored"), std::string::npos);
    }
    EXPECT_EQ(Alive, 0);
}

TEST_F(ComponentTest, MalformedProjectsNameTheLineAndLeaveNothingBehind)
{
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase Cases[] = {
        {"object Root: TRoot\n  Count 5\nend", "Line 2: '=' expected but '5' found"},
        {"object Root: TRoot\n  object A: TNode\n  end\n  object B: TUnknown\n  end\nend",
         "Line 4: Class TUnknown not found"},
        {"object Root: TRoot\n  Colour = 5\nend", "Line 2: Property Colour does not exist in TRoot"},
        {"object Root: TRoot\n  object A: TNode\n    Info.Boss = 'x'\n  end\nend",
         "Line 3: Property Info.Boss does not exist in TInfo"},
        {"object Root: TRoot\n  object A: TNode\n\n    Link = Nobody\n  end\nend",
         "Line 4: Component Nobody, the value of Link, was not found"},
        {"object Root: TRoot\n  Shade = shPale\nend", "Line 2: Invalid value 'shPale' for property Shade"},
        {"object Root: TRoot\n  Shades = [shDark, 3]\nend", "Line 2: Invalid value '3' for property Shades"},
        {"object Root: TRoot\n  Flag = 1\nend", "Line 2: Invalid value '1' for property Flag"},
        {"object Root: TRoot\n  Text = 'open\nend", "Line 2: Unterminated string"},
        {"object Root: TRoot\n  object A: TNode\n  end\n  object a: TNode\n  end\nend",
         "Line 4: A component named a already exists"},
        {"object Root: TRoot\n  object A: TNode\n", "Line 3: 'end' expected but end of text found"},
        {"object Root: TNode\nend", "Line 1: The project's root is a TRoot, not a TNode"},
        {"object Root: TRoot\n  Link = Root\nend\nend", "Line 4: End of text expected but 'end' found"},
        {"object Root: TRoot\n  Text = #99999999999999999999'x'\nend", "Line 2: Invalid character code"},
        {"object Root: TRoot\n  Text = #256\nend", "Line 2: Invalid character code"},
        // What a component made of its own goes with it.
        {"object Root: TRoot\n  object M: TMaker\n  end\n  object B: TUnknown\n  end\nend",
         "Line 4: Class TUnknown not found"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Text);
        TRoot Root(nullptr);
        EXPECT_TRUE(Raises<fw_Reader::EParserError>([&] { fw_Reader::ReadComponentText(&Root, C.Text); }, C.Message));
        EXPECT_EQ(Root.ComponentCount(), 0);
        EXPECT_FALSE(Root.IsLoading());
        EXPECT_EQ(Alive, 1);
    }
}

TEST_F(ComponentTest, NestingIsBoundedAndAComponentsHelpersGoWithAFailedRead)
{
    // Objects nested as deep as a reading may go, and one level more.
    std::string Deep = "object Root: TRoot\n";
    for (int I = 0; I < 257; ++I)
        Deep += "object N" + std::to_string(I) + ": TNode\n";
    const auto Closed = [](std::string Text, int Levels) {
        for (int I = 0; I <= Levels; ++I)
            Text += "end\n";
        return Text;
    };
    {
        TRoot Root(nullptr);
        const std::string Text = Deep.substr(0, Deep.find("object N256"));
        fw_Reader::ReadComponentText(&Root, Closed(Text, 256));
        EXPECT_EQ(Root.ComponentCount(), 256);
    }
    {
        TRoot Root(nullptr);
        EXPECT_TRUE(Raises<fw_Reader::EParserError>([&] { fw_Reader::ReadComponentText(&Root, Closed(Deep, 257)); },
                                                    "Line 258: Objects nested deeper than 256 levels"));
        EXPECT_EQ(Root.ComponentCount(), 0);
    }
    EXPECT_EQ(Alive, 0);

    // A failed read into a root that already owns components leaves those.
    TRoot Root(nullptr);
    auto* Kept = new TNode(&Root);
    Kept->SetName("Kept");
    EXPECT_THROW(fw_Reader::ReadComponentText(
                     &Root, "object Root: TRoot\n  object M: TMaker\n  end\n  object K: TNode\n    Count = x\n  "
                            "end\nend"),
                 fw_Reader::EParserError);
    ASSERT_EQ(Root.ComponentCount(), 1);
    EXPECT_EQ(Root.Components(0), Kept);
    EXPECT_EQ(Alive, 2);
}

TEST_F(ComponentTest, AComponentRefusingItsLoadEndsTheReadWithNothingLeftLoading)
{
    TRoot Root(nullptr);
    EXPECT_TRUE(Raises<Exception>(
        [&] {
            fw_Reader::ReadComponentText(&Root, "object Root: TRoot\n"
                                                "  object A: TNode\n    Text = 'refuse'\n  end\n"
                                                "  object B: TNode\n  end\nend\n");
        },
        "refused by A"));
    ASSERT_EQ(Root.ComponentCount(), 2); // kept by the root, which frees them
    for (int I = 0; I < 2; ++I)
        EXPECT_FALSE(Root.Components(I)->IsLoading()) << Root.Components(I)->Name();
    EXPECT_FALSE(Root.IsLoading());

    Root.SetDesigning(true);
    EXPECT_TRUE(Root.Components(1)->IsDesigning());
    auto* Later = new TNode(&Root); // joins in the owner's state
    EXPECT_TRUE(Later->IsDesigning());
}

TEST(StringLists, TextValuesAndSearch)
{
    TStringList L;
    L.SetText("a=1\r\nB=2\nlast");
    EXPECT_EQ(L.Count(), 3);
    EXPECT_EQ(L.Text(), "a=1\r\nB=2\r\nlast\r\n");
    EXPECT_EQ(L.Values("b"), "2");
    EXPECT_EQ(L.IndexOf("LAST"), 2);
    L.SetValues("a", "");
    EXPECT_EQ(L.Count(), 2);
    L.SetValues("c", "3");
    EXPECT_EQ(L[2], "c=3");
    EXPECT_THROW(L.Get(3), EListError);
    int Changes = 0;
    L.OnChange = [&](TObject*) { ++Changes; };
    L.BeginUpdate();
    L.Add("x");
    L.Add("y");
    L.EndUpdate();
    EXPECT_EQ(Changes, 1);
}
