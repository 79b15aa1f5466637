#include "framework/fw_Reader.h"

#include "framework/fw_Streams.h"

#include <algorithm>
#include <cmath>

namespace fw_Reader {

using fw_Classes::TClass;
using fw_Classes::TComponent;
using fw_Classes::TObject;
using fw_Classes::TPropInfo;
using fw_Classes::TTypeKind;
using fw_SysUtils::Format;
using fw_SysUtils::SameText;

namespace {

enum class TToken { Eof, Ident, String, Integer, Float, Symbol };

class TLexer {
public:
    explicit TLexer(std::string_view Text) : FText(Text) { Next(); }

    TToken Kind = TToken::Eof;
    std::string Text; // identifier, decoded string or symbol
    int64_t Int = 0;
    double Real = 0;
    int Line = 1; // of the current token

    [[noreturn]] void Error(const std::string& Msg) const { throw EParserError(Format("Line %d: %s", {Line, Msg})); }

    std::string Describe() const
    {
        switch (Kind) {
        case TToken::Eof:
            return "end of text";
        case TToken::String:
            return "string";
        default:
            return "'" + Text + "'";
        }
    }

    bool IsSymbol(char C) const { return Kind == TToken::Symbol && Text[0] == C; }
    bool IsIdent(std::string_view S) const { return Kind == TToken::Ident && SameText(Text, S); }

    void Expect(char C)
    {
        if (!IsSymbol(C))
            Error(Format("'%s' expected but %s found", {std::string(1, C), Describe()}));
        Next();
    }

    std::string ExpectIdent(const char* What)
    {
        if (Kind != TToken::Ident)
            Error(Format("%s expected but %s found", {What, Describe()}));
        std::string S = Text;
        Next();
        return S;
    }

    void Next()
    {
        SkipBlanks();
        Line = FLine;
        Text.clear();
        if (FPos >= FText.size()) {
            Kind = TToken::Eof;
            return;
        }
        char C = FText[FPos];
        if (IsAlpha(C)) {
            size_t B = FPos;
            while (FPos < FText.size() && (IsAlpha(FText[FPos]) || IsDigit(FText[FPos])))
                ++FPos;
            Kind = TToken::Ident;
            Text = std::string(FText.substr(B, FPos - B));
        } else if (C == '\'' || C == '#') {
            ReadString();
        } else if (IsDigit(C) || C == '$' ||
                   ((C == '-' || C == '+') && FPos + 1 < FText.size() &&
                    (IsDigit(FText[FPos + 1]) || FText[FPos + 1] == '$'))) {
            ReadNumber();
        } else {
            Kind = TToken::Symbol;
            Text = std::string(1, C);
            ++FPos;
        }
    }

    // The raw text up to the closing brace, for binary values.
    std::string ReadUntilBrace()
    {
        std::string S;
        while (FPos < FText.size() && FText[FPos] != '}') {
            if (FText[FPos] == '\n')
                ++FLine;
            S += FText[FPos++];
        }
        if (FPos >= FText.size())
            Error("'}' expected but end of text found");
        ++FPos;
        return S;
    }

private:
    static bool IsAlpha(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
    static bool IsDigit(char C) { return C >= '0' && C <= '9'; }

    void SkipBlanks()
    {
        while (FPos < FText.size()) {
            char C = FText[FPos];
            if (C == '\n')
                ++FLine;
            if ((unsigned char)C <= ' ')
                ++FPos;
            else if (C == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
                while (FPos < FText.size() && FText[FPos] != '\n')
                    ++FPos;
            } else
                break;
        }
    }

    void ReadString()
    {
        // Quoted pieces ('' is a quote) and #n codes, adjacent, form one text.
        Kind = TToken::String;
        for (;;) {
            if (FPos < FText.size() && FText[FPos] == '\'') {
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n' || FText[FPos] == '\r')
                        Error("Unterminated string");
                    char C = FText[FPos++];
                    if (C == '\'') {
                        if (FPos < FText.size() && FText[FPos] == '\'') {
                            Text += '\'';
                            ++FPos;
                            continue;
                        }
                        break;
                    }
                    Text += C;
                }
            } else if (FPos < FText.size() && FText[FPos] == '#') {
                ++FPos;
                size_t B = FPos;
                while (FPos < FText.size() && IsDigit(FText[FPos]))
                    ++FPos;
                // Counted with a bound: a run of digits never overflows.
                int Code = 0;
                for (size_t P = B; P < FPos && Code <= 255; ++P)
                    Code = Code * 10 + (FText[P] - '0');
                if (B == FPos || Code > 255)
                    Error("Invalid character code");
                Text += char(Code);
            } else
                break;
        }
    }

    void ReadNumber()
    {
        size_t B = FPos;
        bool Neg = false;
        if (FText[FPos] == '-' || FText[FPos] == '+')
            Neg = FText[FPos++] == '-';
        if (FPos < FText.size() && FText[FPos] == '$') {
            ++FPos;
            size_t H = FPos;
            while (FPos < FText.size() && isxdigit((unsigned char)FText[FPos]))
                ++FPos;
            if (H == FPos || FPos - H > 16)
                Error("Invalid number");
            Kind = TToken::Integer;
            Int = int64_t(std::stoull(std::string(FText.substr(H, FPos - H)), nullptr, 16));
            if (Neg)
                Int = -Int;
            Text = std::string(FText.substr(B, FPos - B));
            return;
        }
        bool IsReal = false;
        while (FPos < FText.size() &&
               (IsDigit(FText[FPos]) || FText[FPos] == '.' || FText[FPos] == 'e' || FText[FPos] == 'E' ||
                ((FText[FPos] == '-' || FText[FPos] == '+') && (FText[FPos - 1] == 'e' || FText[FPos - 1] == 'E')))) {
            if (!IsDigit(FText[FPos]))
                IsReal = true;
            ++FPos;
        }
        Text = std::string(FText.substr(B, FPos - B));
        try {
            if (IsReal) {
                Kind = TToken::Float;
                size_t Used = 0;
                Real = std::stod(Text, &Used);
                if (Used != Text.size())
                    Error("Invalid number '" + Text + "'");
            } else {
                Kind = TToken::Integer;
                Int = std::stoll(Text);
            }
        } catch (const std::logic_error&) {
            Error("Invalid number '" + Text + "'");
        }
    }

    std::string_view FText;
    size_t FPos = 0;
    int FLine = 1;
};

struct TFixup {
    TObject* Instance;
    const TPropInfo* Prop;
    std::string Name;
    int Line;
};

class TProjectReader {
public:
    TProjectReader(TComponent* Root, std::string_view Text) : FRoot(Root), FLex(Text) {}

    void Read()
    {
        const std::vector<TComponent*> Before = OwnedBy(FRoot);
        try {
            ReadRoot();
            ResolveFixups();
        } catch (...) {
            // Free what this read made, newest first, also what the
            // components made made with the root as their owner; the root
            // stays with what it had.
            for (int I = FRoot->ComponentCount() - 1; I >= 0; --I) {
                if (I >= FRoot->ComponentCount()) {
                    I = FRoot->ComponentCount();
                    continue;
                }
                TComponent* C = FRoot->Components(I);
                if (std::find(Before.begin(), Before.end(), C) == Before.end())
                    delete C;
            }
            FRoot->SetLoading(false);
            throw;
        }
        // A component refusing its load ends the read; the others stop
        // loading too, and stay with the root, whose owner frees them.
        try {
            FRoot->Loaded();
            for (TComponent* C : FCreated)
                C->Loaded();
        } catch (...) {
            FRoot->SetLoading(false);
            for (TComponent* C : FCreated)
                C->SetLoading(false);
            throw;
        }
    }

private:
    static std::vector<TComponent*> OwnedBy(TComponent* Owner)
    {
        std::vector<TComponent*> R;
        for (int I = 0; I < Owner->ComponentCount(); ++I)
            R.push_back(Owner->Components(I));
        return R;
    }

    void ReadRoot()
    {
        if (!FLex.IsIdent("object") && !FLex.IsIdent("inherited"))
            FLex.Error(Format("'object' expected but %s found", {FLex.Describe()}));
        FLex.Next();
        std::string Name = FLex.ExpectIdent("Component name");
        FLex.Expect(':');
        int Line = FLex.Line;
        std::string ClassName = FLex.ExpectIdent("Class name");
        if (!SameText(ClassName, FRoot->ClassName()))
            throw EParserError(
                Format("Line %d: The project's root is a %s, not a %s", {Line, FRoot->ClassName(), ClassName}));
        FRoot->SetLoading(true);
        // A second form of one class in one owner (two pages of a wizard)
        // takes the next free name, Name_1, Name_2...
        if (TComponent* Owner = FRoot->Owner(); Owner && FRoot->Name() != Name) {
            std::string Free = Name;
            for (int N = 1; Owner->FindComponent(Free) && Owner->FindComponent(Free) != FRoot; ++N)
                Free = Name + "_" + std::to_string(N);
            Name = Free;
        }
        if (FRoot->Name() != Name)
            SetNameAt(FRoot, Name, Line);
        ReadBody(FRoot);
        if (FLex.Kind != TToken::Eof)
            FLex.Error(Format("End of text expected but %s found", {FLex.Describe()}));
    }

    void SetNameAt(TComponent* C, const std::string& Name, int Line)
    {
        try {
            C->SetName(Name);
        } catch (const fw_Classes::EComponentError& E) {
            throw EParserError(Format("Line %d: %s", {Line, E.Message()}));
        }
    }

    // Properties, then nested objects, then "end".
    void ReadBody(TComponent* Instance)
    {
        while (!FLex.IsIdent("end")) {
            if (FLex.IsIdent("object"))
                ReadChild(Instance);
            else if (FLex.Kind == TToken::Ident)
                ReadProperty(Instance);
            else
                FLex.Error(Format("'end' expected but %s found", {FLex.Describe()}));
        }
        FLex.Next();
    }

    void ReadChild(TComponent* Parent)
    {
        FLex.Next();
        int Line = FLex.Line;
        // Each level is a frame of this reading: a bound keeps the stack.
        if (FDepth >= MaxDepth)
            throw EParserError(Format("Line %d: Objects nested deeper than %d levels", {Line, MaxDepth}));
        struct TLevel {
            int& Depth;
            explicit TLevel(int& D) : Depth(++D) {}
            ~TLevel() { --Depth; }
        } Level(FDepth);
        std::string Name = FLex.ExpectIdent("Component name");
        FLex.Expect(':');
        std::string ClassName = FLex.ExpectIdent("Class name");
        TClass Class = fw_Classes::GetClass(ClassName);
        if (!Class || !Class->Create)
            throw EParserError(Format("Line %d: Class %s not found", {Line, ClassName}));
        TComponent* C = Class->Create(FRoot);
        FCreated.push_back(C);
        C->SetLoading(true);
        SetNameAt(C, Name, Line);
        C->SetParentComponent(Parent);
        ReadBody(C);
    }

    // Name[.Name...] = value
    void ReadProperty(TObject* Instance)
    {
        int Line = FLex.Line;
        std::string Path = FLex.Text;
        FLex.Next();
        TObject* Target = Instance;
        const TPropInfo* Prop = FindProp(Target, Path, Line);
        while (FLex.IsSymbol('.')) {
            FLex.Next();
            std::string Part = FLex.ExpectIdent("Property name");
            if (Prop->Kind != TTypeKind::tkObject)
                throw EParserError(Format("Line %d: Property %s has no properties of its own", {Line, Path}));
            Target = Prop->GetObj(Target);
            if (!Target)
                throw EParserError(Format("Line %d: Property %s is nil", {Line, Path}));
            Path += "." + Part;
            Prop = FindProp(Target, Part, Line, Path);
        }
        FLex.Expect('=');
        ReadValue(Target, Prop, Path, Line);
    }

    const TPropInfo* FindProp(TObject* Target, const std::string& Name, int Line, const std::string& Path = "")
    {
        const TPropInfo* P = Target->ClassType()->FindProp(Name);
        if (!P)
            throw EParserError(Format("Line %d: Property %s does not exist in %s",
                                      {Line, Path.empty() ? Name : Path, Target->ClassName()}));
        return P;
    }

    [[noreturn]] void BadValue(const std::string& Path, int Line)
    {
        throw EParserError(Format("Line %d: Invalid value %s for property %s", {Line, FLex.Describe(), Path}));
    }

    void ReadValue(TObject* Target, const TPropInfo* Prop, const std::string& Path, int Line)
    {
        if (!Prop->Writable())
            throw EParserError(Format("Line %d: Property %s is read-only", {Line, Path}));
        switch (Prop->Kind) {
        case TTypeKind::tkInteger: {
            int64_t V;
            if (FLex.Kind == TToken::Integer)
                V = FLex.Int;
            else if (!(FLex.Kind == TToken::Ident && Prop->Idents && Prop->Idents->ToInt(FLex.Text, V)))
                BadValue(Path, Line);
            FLex.Next();
            Prop->SetOrd(Target, V);
            break;
        }
        case TTypeKind::tkBoolean: {
            if (!FLex.IsIdent("True") && !FLex.IsIdent("False"))
                BadValue(Path, Line);
            bool V = FLex.IsIdent("True");
            FLex.Next();
            Prop->SetOrd(Target, V);
            break;
        }
        case TTypeKind::tkFloat: {
            double V;
            if (FLex.Kind == TToken::Float)
                V = FLex.Real;
            else if (FLex.Kind == TToken::Integer)
                V = double(FLex.Int);
            else
                BadValue(Path, Line);
            FLex.Next();
            Prop->SetFloat(Target, V);
            break;
        }
        case TTypeKind::tkString: {
            if (FLex.Kind != TToken::String)
                BadValue(Path, Line);
            std::string V = FLex.Text;
            FLex.Next();
            while (FLex.IsSymbol('+')) { // a long text continued on the next line
                FLex.Next();
                if (FLex.Kind != TToken::String)
                    BadValue(Path, Line);
                V += FLex.Text;
                FLex.Next();
            }
            Prop->SetStr(Target, V);
            break;
        }
        case TTypeKind::tkEnumeration: {
            int V = FLex.Kind == TToken::Ident ? Prop->EnumType->ValueOf(FLex.Text) : -1;
            if (V < 0)
                BadValue(Path, Line);
            FLex.Next();
            Prop->SetOrd(Target, V);
            break;
        }
        case TTypeKind::tkSet: {
            FLex.Expect('[');
            int64_t Bits = 0;
            while (!FLex.IsSymbol(']')) {
                int V = FLex.Kind == TToken::Ident ? Prop->EnumType->ValueOf(FLex.Text) : -1;
                if (V < 0 || V >= 64)
                    BadValue(Path, Line);
                Bits |= int64_t(1) << V;
                FLex.Next();
                if (!FLex.IsSymbol(']'))
                    FLex.Expect(',');
            }
            FLex.Next();
            Prop->SetOrd(Target, Bits);
            break;
        }
        case TTypeKind::tkReference: {
            if (FLex.Kind != TToken::Ident)
                BadValue(Path, Line);
            std::string Name = FLex.Text;
            FLex.Next();
            if (SameText(Name, "nil"))
                Prop->SetObj(Target, nullptr);
            else
                FFixups.push_back(TFixup{Target, Prop, Name, Line});
            break;
        }
        case TTypeKind::tkObject: {
            auto* Coll = dynamic_cast<fw_Classes::TCollection*>(Prop->GetObj(Target));
            if (!Coll || !FLex.IsSymbol('<'))
                BadValue(Path, Line);
            ReadCollection(Coll, Path);
            break;
        }
        case TTypeKind::tkStrings: {
            FLex.Expect('(');
            std::vector<std::string> Lines;
            while (!FLex.IsSymbol(')')) {
                if (FLex.Kind != TToken::String)
                    BadValue(Path, Line);
                std::string S = FLex.Text;
                FLex.Next();
                while (FLex.IsSymbol('+')) {
                    FLex.Next();
                    if (FLex.Kind != TToken::String)
                        BadValue(Path, Line);
                    S += FLex.Text;
                    FLex.Next();
                }
                Lines.push_back(std::move(S));
            }
            FLex.Next();
            Prop->SetLines(Target, Lines);
            break;
        }
        case TTypeKind::tkBinary: {
            if (!FLex.IsSymbol('{'))
                BadValue(Path, Line);
            std::string Hex = FLex.ReadUntilBrace();
            std::vector<uint8_t> Bytes;
            int Nibble = -1;
            for (char C : Hex) {
                if ((unsigned char)C <= ' ')
                    continue;
                if (!isxdigit((unsigned char)C))
                    throw EParserError(Format("Line %d: Invalid binary value for property %s", {Line, Path}));
                int D = C <= '9' ? C - '0' : (C | 0x20) - 'a' + 10;
                if (Nibble < 0)
                    Nibble = D;
                else {
                    Bytes.push_back(uint8_t(Nibble << 4 | D));
                    Nibble = -1;
                }
            }
            if (Nibble >= 0)
                throw EParserError(Format("Line %d: Invalid binary value for property %s", {Line, Path}));
            FLex.Next();
            Prop->SetBytes(Target, Bytes);
            break;
        }
        }
    }

    void ReadCollection(fw_Classes::TCollection* Coll, const std::string& Path)
    {
        FLex.Expect('<');
        Coll->Clear();
        while (!FLex.IsSymbol('>')) {
            if (!FLex.IsIdent("item"))
                FLex.Error(Format("'item' expected but %s found", {FLex.Describe()}));
            FLex.Next();
            fw_Classes::TCollectionItem* Item = Coll->Add();
            while (!FLex.IsIdent("end")) {
                if (FLex.Kind != TToken::Ident)
                    FLex.Error(Format("'end' expected but %s found", {FLex.Describe()}));
                ReadProperty(Item);
            }
            FLex.Next();
        }
        FLex.Next();
    }

    void ResolveFixups()
    {
        for (const TFixup& F : FFixups) {
            TComponent* Found = SameText(FRoot->Name(), F.Name) ? FRoot : FRoot->FindComponent(F.Name);
            if (!Found)
                throw EParserError(
                    Format("Line %d: Component %s, the value of %s, was not found", {F.Line, F.Name, F.Prop->Name}));
            if (!Found->InheritsFrom(F.Prop->ClassType()))
                throw EParserError(
                    Format("Line %d: %s is a %s, not a %s as %s needs",
                           {F.Line, F.Name, Found->ClassName(), F.Prop->ClassType()->ClassName, F.Prop->Name}));
            F.Prop->SetObj(F.Instance, Found);
        }
    }

    static constexpr int MaxDepth = 256;

    TComponent* FRoot;
    TLexer FLex;
    int FDepth = 0;
    std::vector<TComponent*> FCreated;
    std::vector<TFixup> FFixups;
};

// ---- writing -----------------------------------------------------------------

std::string Quote(const std::string& S)
{
    // Printable runs in quotes, other characters as #n.
    if (S.empty())
        return "''";
    std::string R;
    bool InQuote = false;
    for (unsigned char C : S) {
        if (C >= ' ' && C < 127) {
            if (!InQuote) {
                R += '\'';
                InQuote = true;
            }
            R += char(C);
            if (C == '\'')
                R += '\'';
        } else {
            if (InQuote) {
                R += '\'';
                InQuote = false;
            }
            R += "#" + std::to_string(C);
        }
    }
    if (InQuote)
        R += '\'';
    return R;
}

class TProjectWriter {
public:
    explicit TProjectWriter(TComponent* Root) : FRoot(Root) {}

    std::string Write()
    {
        WriteComponent(FRoot, 0);
        return FOut;
    }

private:
    void Line(int Indent, const std::string& S) { FOut += std::string(size_t(Indent) * 2, ' ') + S + "\r\n"; }

    void WriteComponent(TComponent* C, int Indent)
    {
        Line(Indent, "object " + C->Name() + ": " + C->ClassName());
        WriteProps(C, "", Indent + 1);
        for (int I = 0; I < FRoot->ComponentCount(); ++I) {
            TComponent* Child = FRoot->Components(I);
            TComponent* Parent = Child->GetParentComponent();
            if (Parent == C || (C == FRoot && (!Parent || !Child->HasParent())))
                if (Child != C)
                    WriteComponent(Child, Indent + 1);
        }
        Line(Indent, "end");
    }

    void WriteProps(TObject* O, const std::string& Prefix, int Indent)
    {
        for (const TPropInfo* P : O->ClassType()->AllProps()) {
            if ((SameText(P->Name, "Name") && dynamic_cast<TComponent*>(O)) || (P->IsStored && !P->IsStored(O)))
                continue;
            std::string N = Prefix + P->Name;
            switch (P->Kind) {
            case TTypeKind::tkInteger: {
                int64_t V = P->GetOrd(O);
                if (!P->Default || *P->Default != V)
                    Line(Indent, N + " = " + std::to_string(V));
                break;
            }
            case TTypeKind::tkBoolean: {
                int64_t V = P->GetOrd(O);
                if (!P->Default || *P->Default != V)
                    Line(Indent, N + " = " + (V ? "True" : "False"));
                break;
            }
            case TTypeKind::tkFloat: {
                char Buf[64];
                snprintf(Buf, sizeof Buf, "%.17g", P->GetFloat(O));
                std::string S = Buf;
                if (S.find_first_of(".eE") == std::string::npos)
                    S += ".0";
                Line(Indent, N + " = " + S);
                break;
            }
            case TTypeKind::tkString: {
                std::string V = P->GetStr(O);
                if (!V.empty())
                    Line(Indent, N + " = " + Quote(V));
                break;
            }
            case TTypeKind::tkEnumeration: {
                int64_t V = P->GetOrd(O);
                if (!P->Default || *P->Default != V)
                    Line(Indent, N + " = " + P->EnumType->NameOf(V));
                break;
            }
            case TTypeKind::tkSet: {
                int64_t V = P->GetOrd(O);
                if (P->Default && *P->Default == V)
                    break;
                std::string S;
                for (size_t I = 0; I < P->EnumType->Names.size(); ++I)
                    if ((V >> I) & 1)
                        S += (S.empty() ? "" : ", ") + P->EnumType->Names[I];
                Line(Indent, N + " = [" + S + "]");
                break;
            }
            case TTypeKind::tkReference: {
                auto* Ref = dynamic_cast<TComponent*>(P->GetObj(O));
                if (Ref)
                    Line(Indent, N + " = " + Ref->Name());
                break;
            }
            case TTypeKind::tkObject: {
                TObject* Sub = P->GetObj(O);
                if (auto* Coll = dynamic_cast<fw_Classes::TCollection*>(Sub)) {
                    if (Coll->Count() == 0)
                        break;
                    Line(Indent, N + " = <");
                    for (int I = 0; I < Coll->Count(); ++I) {
                        Line(Indent + 1, "item");
                        WriteProps(Coll->Items(I), "", Indent + 2);
                        Line(Indent + 1, I + 1 < Coll->Count() ? "end" : "end>");
                    }
                } else if (Sub)
                    WriteProps(Sub, N + ".", Indent);
                break;
            }
            case TTypeKind::tkStrings: {
                std::vector<std::string> L = P->GetLines(O);
                if (L.empty())
                    break;
                Line(Indent, N + " = (");
                for (size_t I = 0; I < L.size(); ++I)
                    Line(Indent + 1, Quote(L[I]) + (I + 1 < L.size() ? "" : ")"));
                break;
            }
            case TTypeKind::tkBinary: {
                std::vector<uint8_t> B = P->GetBytes(O);
                if (B.empty())
                    break;
                Line(Indent, N + " = {");
                for (size_t I = 0; I < B.size(); I += 32) {
                    std::string Hex;
                    for (size_t J = I; J < std::min(B.size(), I + 32); ++J)
                        Hex += fw_SysUtils::IntToHex(B[J], 2);
                    Line(Indent + 1, Hex + (I + 32 >= B.size() ? "}" : ""));
                }
                break;
            }
            }
        }
    }

    TComponent* FRoot;
    std::string FOut;
};

} // namespace

void ReadComponentText(TComponent* Root, std::string_view Text) { TProjectReader(Root, Text).Read(); }

void ReadComponentResource(TComponent* Root, const std::string& ResName)
{
    fw_Streams::TResourceStream Res(GetModuleHandleA(nullptr), ResName, RT_RCDATA);
    ReadComponentText(Root, std::string_view(reinterpret_cast<const char*>(Res.Memory()), size_t(Res.Size())));
}

std::string WriteComponentText(TComponent* Root) { return TProjectWriter(Root).Write(); }

} // namespace fw_Reader
