// Framework: run-time classes with published properties, persistent objects,
// components with owner, name and removal notification, string lists and
// collections.
#pragma once

#include "framework/fw_SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace fw_Classes {

using fw_SysUtils::Exception;

FW_EXCEPTION(EComponentError, Exception);
FW_EXCEPTION(EClassNotFound, Exception);
FW_EXCEPTION(EPropertyError, Exception);
FW_EXCEPTION(EListError, Exception);

// A set of up to 8 * sizeof(Bits) enumeration values, bit n for ordinal n.
template <class E, class Bits = uint8_t>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items)
    {
        for (E I : Items)
            Include(I);
    }
    static constexpr TSet FromBits(Bits B)
    {
        TSet S;
        S.FBits = B;
        return S;
    }
    constexpr Bits ToBits() const { return FBits; }
    constexpr bool Contains(E I) const { return (FBits >> int(I)) & 1; }
    constexpr void Include(E I) { FBits = Bits(FBits | (Bits(1) << int(I))); }
    constexpr void Exclude(E I) { FBits = Bits(FBits & ~(Bits(1) << int(I))); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet operator+(TSet O) const { return FromBits(Bits(FBits | O.FBits)); }
    constexpr TSet operator*(TSet O) const { return FromBits(Bits(FBits & O.FBits)); }
    constexpr TSet operator-(TSet O) const { return FromBits(Bits(FBits & ~O.FBits)); }
    constexpr bool operator==(const TSet&) const = default;

private:
    Bits FBits = 0;
};

// ---- run-time class information ----------------------------------------------

class TObject;
class TPersistent;
class TComponent;
struct TClassInfo;
using TClass = const TClassInfo*;

// The value names of an enumeration, in ordinal order.
struct TEnumInfo {
    std::string TypeName;
    std::vector<std::string> Names;
    int ValueOf(std::string_view Name) const; // -1 when unknown (case ignored)
    std::string NameOf(int64_t Value) const;
};

// Identifiers that an integer property also accepts (colours, for example).
struct TIdentMap {
    std::vector<std::pair<std::string, int64_t>> Idents;
    bool ToInt(std::string_view Ident, int64_t& Value) const;
};

enum class TTypeKind {
    tkInteger,
    tkFloat,
    tkString,
    tkBoolean,
    tkEnumeration,
    tkSet,
    tkReference, // a component, written as its name
    tkObject,    // a persistent object the owner keeps, written by its properties
    tkStrings,   // the lines of a string list
    tkBinary,    // opaque bytes, written in hexadecimal
};

// One published property: its name, its type and how to get and set it.
struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkInteger;
    const TEnumInfo* EnumType = nullptr; // tkEnumeration, tkSet
    const TIdentMap* Idents = nullptr;   // tkInteger
    // tkReference, tkObject: the class, asked for when needed (a class may
    // refer to itself while its own information is being made).
    TClass (*ClassOf)() = nullptr;
    TClass ClassType() const { return ClassOf ? ClassOf() : nullptr; }
    std::optional<int64_t> Default; // ordinal kinds: the value not stored
    // When set, the property is written only while it answers True.
    std::function<bool(TObject*)> IsStored;

    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<double(TObject*)> GetFloat;
    std::function<void(TObject*, double)> SetFloat;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    std::function<TObject*(TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj; // tkReference only
    std::function<std::vector<std::string>(TObject*)> GetLines;
    std::function<void(TObject*, const std::vector<std::string>&)> SetLines;
    std::function<std::vector<uint8_t>(TObject*)> GetBytes;
    std::function<void(TObject*, const std::vector<uint8_t>&)> SetBytes;

    bool Writable() const;
};

using TComponentFactory = TComponent* (*)(TComponent* Owner);

struct TClassInfo {
    std::string ClassName;
    TClass Parent = nullptr;
    TComponentFactory Create = nullptr; // the reader creates only classes with one
    std::vector<TPropInfo> Props;       // this class's own, in declaration order

    bool InheritsFrom(TClass Other) const;
    // The property of that name (case ignored), own or inherited.
    const TPropInfo* FindProp(std::string_view Name) const;
    // Every property, those of the base classes first.
    std::vector<const TPropInfo*> AllProps() const;
};

// Builds the property table of class C while its class information is made.
template <class C>
class TPropertyBuilder {
public:
    explicit TPropertyBuilder(std::vector<TPropInfo>& Props) : FProps(Props) {}

    // Get is a member function or data member; Set a member function taking
    // the value, or a data member that is assigned.
    template <class G, class S>
    TPropertyBuilder& Integer(const char* Name, G Get, S Set, std::optional<int64_t> Default = std::nullopt,
                              const TIdentMap* Idents = nullptr)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkInteger);
        P.Default = Default;
        P.Idents = Idents;
        P.GetOrd = [Get](TObject* O) { return int64_t(std::invoke(Get, Self(O))); };
        P.SetOrd = Setter<S>(Set, [](int64_t V) { return V; });
        return *this;
    }
    template <class G, class S>
    TPropertyBuilder& Boolean(const char* Name, G Get, S Set, std::optional<bool> Default = std::nullopt)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkBoolean);
        if (Default)
            P.Default = *Default ? 1 : 0;
        P.GetOrd = [Get](TObject* O) { return int64_t(bool(std::invoke(Get, Self(O)))); };
        P.SetOrd = Setter<S>(Set, [](int64_t V) { return V != 0; });
        return *this;
    }
    template <class G, class S>
    TPropertyBuilder& Float(const char* Name, G Get, S Set)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkFloat);
        P.GetFloat = [Get](TObject* O) { return double(std::invoke(Get, Self(O))); };
        P.SetFloat = Setter<S, double>(Set, [](double V) { return V; });
        return *this;
    }
    template <class G, class S>
    TPropertyBuilder& String(const char* Name, G Get, S Set)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkString);
        P.GetStr = [Get](TObject* O) { return std::string(std::invoke(Get, Self(O))); };
        P.SetStr = Setter<S, const std::string&>(Set, [](const std::string& V) { return V; });
        return *this;
    }
    template <class E, class G, class S>
    TPropertyBuilder& Enum(const char* Name, const TEnumInfo& Type, G Get, S Set, std::optional<E> Default)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkEnumeration);
        P.EnumType = &Type;
        if (Default)
            P.Default = int64_t(*Default);
        P.GetOrd = [Get](TObject* O) { return int64_t(std::invoke(Get, Self(O))); };
        P.SetOrd = Setter<S>(Set, [](int64_t V) { return E(V); });
        return *this;
    }
    template <class SetT, class G, class S>
    TPropertyBuilder& Set(const char* Name, const TEnumInfo& Type, G Get, S Set, std::optional<SetT> Default)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkSet);
        P.EnumType = &Type;
        if (Default)
            P.Default = int64_t(Default->ToBits());
        P.GetOrd = [Get](TObject* O) { return int64_t(std::invoke(Get, Self(O)).ToBits()); };
        P.SetOrd = Setter<S>(Set, [](int64_t V) { return SetT::FromBits(decltype(SetT().ToBits())(V)); });
        return *this;
    }
    // A reference to a component of class T (or a descendant), set by name.
    template <class T, class G, class S>
    TPropertyBuilder& Reference(const char* Name, G Get, S Set)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkReference);
        P.ClassOf = [] { return &T::StaticClass(); };
        P.GetObj = [Get](TObject* O) -> TObject* { return std::invoke(Get, Self(O)); };
        P.SetObj = Setter<S, TObject*>(Set, [](TObject* V) { return static_cast<T*>(V); });
        return *this;
    }
    // A persistent object of class T that the object keeps; the project sets
    // its properties as Name.Property.
    template <class T, class G>
    TPropertyBuilder& Object(const char* Name, G Get)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkObject);
        P.ClassOf = [] { return &T::StaticClass(); };
        P.GetObj = [Get](TObject* O) -> TObject* { return std::invoke(Get, Self(O)); };
        return *this;
    }
    template <class G, class S>
    TPropertyBuilder& Lines(const char* Name, G Get, S Set)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkStrings);
        P.GetLines = [Get](TObject* O) { return std::invoke(Get, Self(O)); };
        P.SetLines =
            Setter<S, const std::vector<std::string>&>(Set, [](const std::vector<std::string>& V) { return V; });
        return *this;
    }
    template <class G, class S>
    TPropertyBuilder& Binary(const char* Name, G Get, S Set)
    {
        TPropInfo& P = Add(Name, TTypeKind::tkBinary);
        P.GetBytes = [Get](TObject* O) { return std::invoke(Get, Self(O)); };
        P.SetBytes = Setter<S, const std::vector<uint8_t>&>(Set, [](const std::vector<uint8_t>& V) { return V; });
        return *this;
    }

    // Makes the property defined last stored only while Pred answers True.
    template <class F>
    TPropertyBuilder& Stored(F Pred)
    {
        FProps.back().IsStored = [Pred](TObject* O) { return bool(std::invoke(Pred, Self(O))); };
        return *this;
    }

private:
    static C* Self(TObject* O) { return static_cast<C*>(O); }

    TPropInfo& Add(const char* Name, TTypeKind Kind)
    {
        FProps.push_back(TPropInfo{});
        FProps.back().Name = Name;
        FProps.back().Kind = Kind;
        return FProps.back();
    }

    // Wraps a setter member function or data member; Convert turns the
    // stored form into the member's type.
    template <class S, class V = int64_t, class F>
    static std::function<void(TObject*, V)> Setter(S Set, F Convert)
    {
        if constexpr (std::is_same_v<S, std::nullptr_t>)
            return nullptr;
        else if constexpr (std::is_member_object_pointer_v<S>)
            return [Set, Convert](TObject* O, V Value) {
                using M = std::remove_cvref_t<decltype(std::invoke(Set, Self(O)))>;
                std::invoke(Set, Self(O)) = M(Convert(Value));
            };
        else
            return [Set, Convert](TObject* O, V Value) { std::invoke(Set, Self(O), Convert(Value)); };
    }

    std::vector<TPropInfo>& FProps;
};

// Makes the class information of C once, on first use.
template <class C>
TClassInfo MakeClassInfo(const char* Name, TClass Parent, TComponentFactory Create,
                         void (*Define)(TPropertyBuilder<C>&))
{
    TClassInfo Info;
    Info.ClassName = Name;
    Info.Parent = Parent;
    Info.Create = Create;
    if (Define) {
        TPropertyBuilder<C> B(Info.Props);
        Define(B);
    }
    return Info;
}

template <class C>
TComponent* CreateComponent(TComponent* Owner)
{
    return new C(Owner);
}

// Declares the run-time class of a class (inside its body).
#define FW_CLASS(ThisClass, ParentClass)                                                                               \
public:                                                                                                                \
    using inherited = ParentClass;                                                                                     \
    static const fw_Classes::TClassInfo& StaticClass();                                                                \
    fw_Classes::TClass ClassType() const override { return &StaticClass(); }

// Whether C's FW_CLASS names P as its parent.
template <class C, class P>
constexpr bool DeclaresParent = std::is_same_v<typename C::inherited, P>;

// Defines it (in a source file). Create is fw_Classes::CreateComponent<C> for
// components the project may create, or nullptr; Define fills the property
// table (or is nullptr). The parent must be the one FW_CLASS declared and a
// base of the class, or the run-time class chain would lie.
#define FW_DEFINE_CLASS(ThisClass, ParentClass, Create, Define)                                                        \
    const fw_Classes::TClassInfo& ThisClass::StaticClass()                                                             \
    {                                                                                                                  \
        static_assert(fw_Classes::DeclaresParent<ThisClass, ParentClass>,                                              \
                      "FW_DEFINE_CLASS(" #ThisClass ", " #ParentClass "): FW_CLASS declares another parent");          \
        static_assert(std::is_base_of_v<ParentClass, ThisClass>,                                                       \
                      "FW_DEFINE_CLASS(" #ThisClass ", " #ParentClass "): the parent is not a base of the class");     \
        static const fw_Classes::TClassInfo Info =                                                                     \
            fw_Classes::MakeClassInfo<ThisClass>(#ThisClass, &ParentClass::StaticClass(), Create, Define);             \
        return Info;                                                                                                   \
    }

// The classes the project reader may create, by name.
void RegisterClass(TClass Class);
void RegisterClasses(std::initializer_list<TClass> Classes);
TClass GetClass(std::string_view Name);  // nullptr when not registered
TClass FindClass(std::string_view Name); // EClassNotFound "Class %s not found"

// ---- objects -------------------------------------------------------------------

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    static const TClassInfo& StaticClass();
    virtual TClass ClassType() const { return &StaticClass(); }
    const std::string& ClassName() const { return ClassType()->ClassName; }
    bool InheritsFrom(TClass Class) const { return ClassType()->InheritsFrom(Class); }
    template <class T>
    bool Is() const
    {
        return InheritsFrom(&T::StaticClass());
    }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
    FW_CLASS(TPersistent, TObject)

public:
    // Copies Source into this object; what cannot be copied raises
    // EConvertError "Cannot assign a %s to a %s".
    virtual void Assign(TPersistent* Source);

protected:
    virtual void AssignTo(TPersistent* Dest);
};

// ---- components ------------------------------------------------------------------

enum class TOperation { opInsert, opRemove };

enum TComponentStateItem {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};
using TComponentState = TSet<TComponentStateItem, uint16_t>;

class TComponent : public TPersistent {
    FW_CLASS(TComponent, TPersistent)

public:
    explicit TComponent(TComponent* AOwner);
    // Tells the components that asked for it, frees the owned components and
    // leaves the owner, which tells its other components.
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    // Renames; a name that is not an identifier, or that another component
    // of the owner has (case ignored), raises EComponentError.
    virtual void SetName(const std::string& NewName);
    int64_t Tag() const { return FTag; }
    // Virtual for components that give a Tag value a meaning of their own.
    virtual void SetTag(int64_t Value) { FTag = Value; }

    TComponentState ComponentState() const { return FComponentState; }
    bool IsLoading() const { return FComponentState.Contains(csLoading); }
    bool IsDesigning() const { return FComponentState.Contains(csDesigning); }
    bool IsDestroying() const { return FComponentState.Contains(csDestroying); }

    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int Index) const;
    TComponent* FindComponent(std::string_view AName) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();
    // Marks this component and those it owns as being destroyed.
    void Destroying();

    // Asks to be told (Notification with opRemove) when AComponent goes.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // The reader's hooks: loading starts before the properties are set and
    // ends with Loaded once every component of the project has them.
    void SetLoading(bool Value);
    // Puts this component and those it owns in (or out of) the design state,
    // as a design tool (or a test of design-time behaviour) does.
    void SetDesigning(bool Value);
    virtual void Loaded();
    // The component that holds this one in the project text (controls use
    // it for their parent); the owner is always the root.
    virtual void SetParentComponent(TComponent* Value) {}
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual bool HasParent() const { return false; }

    // Told when a component is inserted into or removed from the owner, and
    // when a component this one asked about is freed.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

protected:
    TComponentState FComponentState;

private:
    void ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName) const;
    void Insert(TComponent* AComponent);
    void Remove(TComponent* AComponent);
    void RemoveNotification(TComponent* AComponent);

    TComponent* FOwner = nullptr;
    std::string FName;
    int64_t FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
};

bool IsValidIdent(std::string_view Ident);

// Deletes a component the way its owner would; for unique_ptr.
struct TComponentDeleter {
    void operator()(TComponent* C) const { delete C; }
};

// An ordered list of references to objects it does not own.
template <class T>
class TReferenceList {
public:
    int Count() const { return int(FItems.size()); }
    T* Items(int Index) const { return FItems.at(size_t(Index)); }
    void Remove(T* Item)
    {
        auto It = std::find(FItems.begin(), FItems.end(), Item);
        if (It != FItems.end())
            FItems.erase(It);
    }

protected:
    void Append(T* Item) { FItems.push_back(Item); }
    std::vector<T*> FItems;
};

// A list of object references passed as one object; it owns nothing.
class TList : public TObject {
    FW_CLASS(TList, TObject)

public:
    TList() = default;
    TList(std::initializer_list<TObject*> Items) : FItems(Items) {}
    int Count() const { return int(FItems.size()); }
    TObject* Items(int Index) const { return FItems.at(size_t(Index)); }
    void Add(TObject* Item) { FItems.push_back(Item); }

private:
    std::vector<TObject*> FItems;
};

// ---- string lists ----------------------------------------------------------------

class TStrings : public TPersistent {
    FW_CLASS(TStrings, TPersistent)

public:
    virtual int Count() const = 0;
    virtual std::string Get(int Index) const = 0;
    virtual void Put(int Index, const std::string& S) = 0;
    virtual TObject* GetObject(int Index) const = 0;
    virtual void PutObject(int Index, TObject* O) = 0;
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;

    std::string operator[](int Index) const { return Get(Index); }
    int Add(const std::string& S);
    int AddObject(const std::string& S, TObject* O);
    virtual int IndexOf(std::string_view S) const; // case ignored
    // Lines joined by CR LF, each ended by one; setting splits at CR, LF or CR LF.
    std::string Text() const;
    void SetText(std::string_view Value);
    // "Name=Value" lines.
    std::string Values(std::string_view Name) const;
    void SetValues(std::string_view Name, const std::string& Value);
    std::string Names(int Index) const;
    int IndexOfName(std::string_view Name) const;
    std::vector<std::string> ToVector() const;
    void SetVector(const std::vector<std::string>& Lines);
    void AddStrings(const TStrings& Other);
    void Assign(TPersistent* Source) override;
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    TNotifyEvent OnChange;

protected:
    void Changed();
    int FUpdateCount = 0;
};

class TStringList : public TStrings {
    FW_CLASS(TStringList, TStrings)

public:
    TStringList() = default;
    int Count() const override { return int(FItems.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* O) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Sort();

private:
    void Check(int Index) const;
    struct TItem {
        std::string S;
        TObject* O = nullptr;
    };
    std::vector<TItem> FItems;
};

// ---- collections -----------------------------------------------------------------

class TCollection;

class TCollectionItem : public TPersistent {
    FW_CLASS(TCollectionItem, TPersistent)

public:
    explicit TCollectionItem(TCollection* ACollection);
    ~TCollectionItem() override;
    TCollection* Collection() const { return FCollection; }
    int Index() const;
    int ID() const { return FID; }

private:
    friend class TCollection;
    TCollection* FCollection;
    int FID = 0;
};

// An ordered list of items it owns, all of one class.
class TCollection : public TPersistent {
    FW_CLASS(TCollection, TPersistent)

public:
    using TItemFactory = TCollectionItem* (*)(TCollection*);
    explicit TCollection(TItemFactory Factory) : FFactory(Factory) {}
    ~TCollection() override;
    TCollectionItem* Add();
    int Count() const { return int(FItems.size()); }
    TCollectionItem* Items(int Index) const;
    void Delete(int Index);
    void Clear();
    // Copies another collection item by item (the items must support Assign).
    void Assign(TPersistent* Source) override;
    virtual TPersistent* GetOwner() const { return nullptr; }

protected:
    virtual void Update(TCollectionItem* Item) {}

private:
    friend class TCollectionItem;
    TItemFactory FFactory;
    std::vector<TCollectionItem*> FItems;
    int FNextID = 0;
};

template <class Item>
TCollectionItem* CreateItem(TCollection* C)
{
    return new Item(C);
}

} // namespace fw_Classes
