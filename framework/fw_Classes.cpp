#include "framework/fw_Classes.h"

#include "framework/fw_Streams.h"

#include <algorithm>
#include <map>

namespace fw_Classes {

using fw_SysUtils::CompareText;
using fw_SysUtils::Format;
using fw_SysUtils::SameText;

// ---- class information -------------------------------------------------------

int TEnumInfo::ValueOf(std::string_view Name) const
{
    for (size_t I = 0; I < Names.size(); ++I)
        if (SameText(Names[I], Name))
            return int(I);
    return -1;
}

std::string TEnumInfo::NameOf(int64_t Value) const
{
    return Value >= 0 && size_t(Value) < Names.size() ? Names[size_t(Value)] : std::to_string(Value);
}

bool TIdentMap::ToInt(std::string_view Ident, int64_t& Value) const
{
    for (const auto& [Name, V] : Idents)
        if (SameText(Name, Ident)) {
            Value = V;
            return true;
        }
    return false;
}

bool TPropInfo::Writable() const
{
    switch (Kind) {
    case TTypeKind::tkFloat:
        return bool(SetFloat);
    case TTypeKind::tkString:
        return bool(SetStr);
    case TTypeKind::tkReference:
        return bool(SetObj);
    case TTypeKind::tkObject:
        return bool(GetObj);
    case TTypeKind::tkStrings:
        return bool(SetLines);
    case TTypeKind::tkBinary:
        return bool(SetBytes);
    default:
        return bool(SetOrd);
    }
}

bool TClassInfo::InheritsFrom(TClass Other) const
{
    for (TClass C = this; C; C = C->Parent)
        if (C == Other)
            return true;
    return false;
}

const TPropInfo* TClassInfo::FindProp(std::string_view Name) const
{
    for (TClass C = this; C; C = C->Parent)
        for (const TPropInfo& P : C->Props)
            if (SameText(P.Name, Name))
                return &P;
    return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const
{
    std::vector<TClass> Chain;
    for (TClass C = this; C; C = C->Parent)
        Chain.push_back(C);
    std::vector<const TPropInfo*> Result;
    for (auto It = Chain.rbegin(); It != Chain.rend(); ++It)
        for (const TPropInfo& P : (*It)->Props)
            Result.push_back(&P);
    return Result;
}

namespace {
struct TNoCase {
    bool operator()(const std::string& A, const std::string& B) const { return CompareText(A, B) < 0; }
};
std::map<std::string, TClass, TNoCase>& ClassRegistry()
{
    static std::map<std::string, TClass, TNoCase> Registry;
    return Registry;
}
} // namespace

void RegisterClass(TClass Class) { ClassRegistry()[Class->ClassName] = Class; }

void RegisterClasses(std::initializer_list<TClass> Classes)
{
    for (TClass C : Classes)
        RegisterClass(C);
}

TClass GetClass(std::string_view Name)
{
    auto It = ClassRegistry().find(std::string(Name));
    return It == ClassRegistry().end() ? nullptr : It->second;
}

TClass FindClass(std::string_view Name)
{
    TClass C = GetClass(Name);
    if (!C)
        throw EClassNotFound(Format("Class %s not found", {Name}));
    return C;
}

const TClassInfo& TObject::StaticClass()
{
    static const TClassInfo Info{"TObject", nullptr, nullptr, {}};
    return Info;
}

// ---- TPersistent -------------------------------------------------------------

FW_DEFINE_CLASS(TPersistent, TObject, nullptr, nullptr)
FW_DEFINE_CLASS(TList, TObject, nullptr, nullptr)

void TPersistent::Assign(TPersistent* Source)
{
    if (Source)
        Source->AssignTo(this);
    else
        AssignTo(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    // Called on the source: neither side knows the other.
    if (!Dest)
        throw fw_SysUtils::EConvertError(Format("Cannot assign a %s to a nil", {ClassName()}));
    throw fw_SysUtils::EConvertError(Format("Cannot assign a %s to a %s", {ClassName(), Dest->ClassName()}));
}

// ---- TComponent --------------------------------------------------------------

static void DefineComponent(TPropertyBuilder<TComponent>& P)
{
    P.String("Name", &TComponent::Name, &TComponent::SetName);
    P.Integer("Tag", &TComponent::Tag, &TComponent::SetTag, 0);
}

FW_DEFINE_CLASS(TComponent, TPersistent, nullptr, DefineComponent)

bool IsValidIdent(std::string_view Ident)
{
    auto Alpha = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; };
    if (Ident.empty() || !Alpha(Ident[0]))
        return false;
    return std::all_of(Ident.begin() + 1, Ident.end(), [&](char C) { return Alpha(C) || (C >= '0' && C <= '9'); });
}

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    Destroying();
    // Those that asked are told, and forget us; we forget them.
    while (!FFreeNotifies.empty()) {
        TComponent* C = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        C->RemoveNotification(this);
        C->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const
{
    if (Index < 0 || Index >= ComponentCount())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FComponents[size_t(Index)];
}

TComponent* TComponent::FindComponent(std::string_view AName) const
{
    if (AName.empty())
        return nullptr;
    for (TComponent* C : FComponents)
        if (SameText(C->FName, AName))
            return C;
    return nullptr;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName) const
{
    if (!NewName.empty() && !SameText(CurName, NewName)) {
        TComponent* Other = FindComponent(NewName);
        if (Other && Other != AComponent)
            throw EComponentError(Format("A component named %s already exists", {NewName}));
    }
}

void TComponent::SetName(const std::string& NewName)
{
    if (FName == NewName)
        return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(Format("'%s' is not a valid component name", {NewName}));
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    FName = NewName;
}

void TComponent::Insert(TComponent* AComponent)
{
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent)
{
    AComponent->FOwner = nullptr;
    auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (It != FComponents.end())
        FComponents.erase(It);
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    ValidateRename(AComponent, "", AComponent->FName);
    Insert(AComponent);
    if (IsDesigning())
        AComponent->FComponentState.Include(csDesigning);
    Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    Notification(AComponent, TOperation::opRemove);
    Remove(AComponent);
}

void TComponent::DestroyComponents()
{
    // The last created goes first; each removes itself from the list.
    while (!FComponents.empty()) {
        TComponent* C = FComponents.back();
        Remove(C);
        delete C;
    }
}

void TComponent::Destroying()
{
    if (FComponentState.Contains(csDestroying))
        return;
    FComponentState.Include(csDestroying);
    for (TComponent* C : FComponents)
        C->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    // Components of the same owner hear of each other through the owner.
    if (!AComponent || AComponent == this)
        return;
    if (!FOwner || AComponent->FOwner != FOwner) {
        if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
            FFreeNotifies.push_back(AComponent);
        auto& Theirs = AComponent->FFreeNotifies;
        if (std::find(Theirs.begin(), Theirs.end(), this) == Theirs.end())
            Theirs.push_back(this);
    }
    FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveNotification(TComponent* AComponent)
{
    auto It = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (It != FFreeNotifies.end())
        FFreeNotifies.erase(It);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    RemoveNotification(AComponent);
    AComponent->RemoveNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == TOperation::opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // A handler may free components: walk by index and clamp.
    for (size_t I = FComponents.size(); I-- > 0;) {
        if (I >= FComponents.size()) {
            if (FComponents.empty())
                break;
            I = FComponents.size() - 1;
        }
        FComponents[I]->Notification(AComponent, Operation);
    }
}

void TComponent::SetLoading(bool Value)
{
    if (Value)
        FComponentState.Include(csLoading);
    else
        FComponentState.Exclude(csLoading);
}

void TComponent::SetDesigning(bool Value)
{
    if (Value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    for (TComponent* C : FComponents)
        C->SetDesigning(Value);
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

// ---- TStrings ----------------------------------------------------------------

static void DefineStrings(TPropertyBuilder<TStrings>& P)
{
    // The project text writes a list's lines as its pseudo-property Strings.
    P.Lines("Strings", &TStrings::ToVector, &TStrings::SetVector);
}

FW_DEFINE_CLASS(TStrings, TPersistent, nullptr, DefineStrings)

int TStrings::Add(const std::string& S)
{
    int I = Count();
    Insert(I, S);
    return I;
}

int TStrings::AddObject(const std::string& S, TObject* O)
{
    int I = Add(S);
    PutObject(I, O);
    return I;
}

int TStrings::IndexOf(std::string_view S) const
{
    for (int I = 0; I < Count(); ++I)
        if (SameText(Get(I), S))
            return I;
    return -1;
}

std::string TStrings::Text() const
{
    std::string R;
    for (int I = 0; I < Count(); ++I)
        R += Get(I) + "\r\n";
    return R;
}

void TStrings::SetText(std::string_view Value)
{
    BeginUpdate();
    Clear();
    size_t P = 0;
    while (P < Value.size()) {
        size_t E = Value.find_first_of("\r\n", P);
        if (E == std::string_view::npos) {
            Add(std::string(Value.substr(P)));
            break;
        }
        Add(std::string(Value.substr(P, E - P)));
        P = E + 1;
        if (Value[E] == '\r' && P < Value.size() && Value[P] == '\n')
            ++P;
    }
    EndUpdate();
}

std::string TStrings::Names(int Index) const
{
    std::string S = Get(Index);
    size_t P = S.find('=');
    return P == std::string::npos ? std::string() : S.substr(0, P);
}

int TStrings::IndexOfName(std::string_view Name) const
{
    for (int I = 0; I < Count(); ++I) {
        std::string S = Get(I);
        size_t P = S.find('=');
        if (P != std::string::npos && SameText(std::string_view(S).substr(0, P), Name))
            return I;
    }
    return -1;
}

std::string TStrings::Values(std::string_view Name) const
{
    int I = IndexOfName(Name);
    if (I < 0)
        return std::string();
    std::string S = Get(I);
    return S.substr(S.find('=') + 1);
}

void TStrings::SetValues(std::string_view Name, const std::string& Value)
{
    int I = IndexOfName(Name);
    if (Value.empty()) {
        if (I >= 0)
            Delete(I);
    } else if (I < 0)
        Add(std::string(Name) + "=" + Value);
    else
        Put(I, std::string(Name) + "=" + Value);
}

std::vector<std::string> TStrings::ToVector() const
{
    std::vector<std::string> V;
    V.reserve(size_t(Count()));
    for (int I = 0; I < Count(); ++I)
        V.push_back(Get(I));
    return V;
}

void TStrings::SetVector(const std::vector<std::string>& Lines)
{
    BeginUpdate();
    Clear();
    for (const std::string& S : Lines)
        Add(S);
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& Other)
{
    BeginUpdate();
    for (int I = 0; I < Other.Count(); ++I)
        AddObject(Other.Get(I), Other.GetObject(I));
    EndUpdate();
}

void TStrings::Assign(TPersistent* Source)
{
    if (auto* S = dynamic_cast<TStrings*>(Source)) {
        if (S == this)
            return;
        BeginUpdate();
        Clear();
        AddStrings(*S);
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::LoadFromFile(const std::string& FileName)
{
    fw_Streams::TFileStream F(FileName, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyWrite);
    std::string Data(size_t(F.Size()), '\0');
    F.ReadBuffer(Data.data(), Data.size());
    SetText(Data);
}

void TStrings::SaveToFile(const std::string& FileName) const
{
    fw_Streams::TFileStream F(FileName, fw_Streams::fmCreate);
    std::string Data = Text();
    F.WriteBuffer(Data.data(), Data.size());
}

void TStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

void TStrings::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

// ---- TStringList -------------------------------------------------------------

FW_DEFINE_CLASS(TStringList, TStrings, nullptr, nullptr)

void TStringList::Check(int Index) const
{
    if (Index < 0 || size_t(Index) >= FItems.size())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
}

std::string TStringList::Get(int Index) const
{
    Check(Index);
    return FItems[size_t(Index)].S;
}

void TStringList::Put(int Index, const std::string& S)
{
    Check(Index);
    FItems[size_t(Index)].S = S;
    Changed();
}

TObject* TStringList::GetObject(int Index) const
{
    Check(Index);
    return FItems[size_t(Index)].O;
}

void TStringList::PutObject(int Index, TObject* O)
{
    Check(Index);
    FItems[size_t(Index)].O = O;
}

void TStringList::Insert(int Index, const std::string& S)
{
    if (Index < 0 || size_t(Index) > FItems.size())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    FItems.insert(FItems.begin() + Index, TItem{S, nullptr});
    Changed();
}

void TStringList::Delete(int Index)
{
    Check(Index);
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TStringList::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    Changed();
}

void TStringList::Sort()
{
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const TItem& A, const TItem& B) { return CompareText(A.S, B.S) < 0; });
    Changed();
}

// ---- collections -------------------------------------------------------------

FW_DEFINE_CLASS(TCollectionItem, TPersistent, nullptr, nullptr)
FW_DEFINE_CLASS(TCollection, TPersistent, nullptr, nullptr)

TCollectionItem::TCollectionItem(TCollection* ACollection) : FCollection(ACollection)
{
    if (FCollection) {
        FID = FCollection->FNextID++;
        FCollection->FItems.push_back(this);
    }
}

TCollectionItem::~TCollectionItem()
{
    if (FCollection) {
        auto& Items = FCollection->FItems;
        Items.erase(std::remove(Items.begin(), Items.end(), this), Items.end());
    }
}

int TCollectionItem::Index() const
{
    if (!FCollection)
        return -1;
    auto& Items = FCollection->FItems;
    auto It = std::find(Items.begin(), Items.end(), this);
    return It == Items.end() ? -1 : int(It - Items.begin());
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::Add()
{
    TCollectionItem* Item = FFactory(this);
    Update(nullptr);
    return Item;
}

TCollectionItem* TCollection::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {Index}));
    return FItems[size_t(Index)];
}

void TCollection::Delete(int Index)
{
    delete Items(Index);
    Update(nullptr);
}

void TCollection::Clear()
{
    while (!FItems.empty())
        delete FItems.back();
}

void TCollection::Assign(TPersistent* Source)
{
    auto* S = dynamic_cast<TCollection*>(Source);
    if (!S) {
        TPersistent::Assign(Source);
        return;
    }
    if (S == this)
        return;
    Clear();
    for (int I = 0; I < S->Count(); ++I)
        Add()->Assign(S->Items(I));
}

} // namespace fw_Classes
