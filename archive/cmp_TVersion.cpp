#include "archive/cmp_TVersion.h"

#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "framework/fw_Windows.h"

#include <iterator>
#include <memory>
#include <vector>

namespace cmp_TVersion {

const fw_Classes::TEnumInfo TOverwriteTypeInfo{"TOverwriteType",
                                               {"owAlways", "owNever", "owVersion", "owDate", "owVersionDate"}};

using fw_SysUtils::IntToHex;
using fw_SysUtils::IntToStr;
using fw_SysUtils::TDateTime;

namespace {

const uint16_t LanguageIDs[] = {0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409,
                                0x040A, 0x040B, 0x040C, 0x040D, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412,
                                0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
                                0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0804, 0x0807, 0x0809,
                                0x080A, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C};
static_assert(sizeof(LanguageIDs) / sizeof(LanguageIDs[0]) == lnSwissFrench + 1);

const uint16_t CodePages[] = {0, 932, 949, 950, 1200, 1250, 1251, 1252, 1253, 1254, 1255, 1256};
static_assert(sizeof(CodePages) / sizeof(CodePages[0]) == csArabic + 1);

std::string FileOSText(DWORD OS)
{
    switch (OS) {
    case VOS_DOS:
        return "MS-Dos";
    case VOS_OS216:
        return "16 bit OS/2";
    case VOS_OS232:
        return "32 bit OS/2";
    case VOS_NT:
        return "Windows NT";
    case VOS__WINDOWS16:
        return "Windows 3.0 or later";
    case VOS__PM16:
        return "16 bit OS/2 Presentation Manager";
    case VOS__PM32:
        return "32 bit OS/2 Presentation Manager";
    case VOS__WINDOWS32:
        return "32 bit Windows";
    case VOS_DOS_WINDOWS16:
        return "Windows 3.0 or later with MS-Dos";
    case VOS_DOS_WINDOWS32:
        return "32 bit Windows with MS-Dos";
    case VOS_OS216_PM16:
        return "16 bit OS/2 with Presentation Manager";
    case VOS_OS232_PM32:
        return "32 bit OS/2 with Presentation Manager";
    case VOS_NT_WINDOWS32:
        return "Windows NT with 32 bit Windows";
    default:
        return "Unknown";
    }
}

std::string FileTypeText(DWORD Type)
{
    switch (Type) {
    case VFT_APP:
        return "Application";
    case VFT_DLL:
        return "Dynamic-Link Library";
    case VFT_DRV:
        return "Device Driver";
    case VFT_FONT:
        return "Font";
    case VFT_VXD:
        return "Virtual Device Driver";
    case VFT_STATIC_LIB:
        return "Static-Link Library";
    default:
        return "Unknown";
    }
}

// The subtype names, in the order of their values from 1 (VFT2_DRV_PRINTER,
// VFT2_FONT_RASTER) on.
std::string FileSubTypeText(DWORD Type, DWORD SubType)
{
    static const char* const Drivers[] = {"Printer", "Keyboard", "Language",    "Display", "Mouse",
                                          "Network", "System",   "Installable", "Sound",   "Communications"};
    static_assert(VFT2_DRV_PRINTER == 1 && VFT2_DRV_COMM == std::size(Drivers));
    static const char* const Fonts[] = {"Raster", "Vector", "TrueType"};
    static_assert(VFT2_FONT_RASTER == 1 && VFT2_FONT_TRUETYPE == std::size(Fonts));
    if (Type == VFT_DRV)
        return SubType >= VFT2_DRV_PRINTER && SubType <= VFT2_DRV_COMM ? Drivers[SubType - 1] : "Unknown";
    if (Type == VFT_FONT)
        return SubType >= VFT2_FONT_RASTER && SubType <= VFT2_FONT_TRUETYPE ? Fonts[SubType - 1] : "Unknown";
    return "";
}

std::string FourParts(DWORD MS, DWORD LS)
{
    return IntToStr(HIWORD(MS)) + "." + IntToStr(LOWORD(MS)) + "." + IntToStr(HIWORD(LS)) + "." + IntToStr(LOWORD(LS));
}

// The i-th (0-based) "."-separated part of S, "" past the end.
std::string Part(const std::string& S, size_t I)
{
    size_t Start = 0;
    for (; I > 0; --I) {
        size_t Dot = S.find('.', Start);
        if (Dot == std::string::npos)
            return "";
        Start = Dot + 1;
    }
    size_t Dot = S.find('.', Start);
    return S.substr(Start, Dot == std::string::npos ? std::string::npos : Dot - Start);
}

fw_Handles::THandle OpenShared(const std::string& Path)
{
    return fw_Handles::THandle(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Version resources live only in executable formats, all of which begin with
// "MZ"; checking that first spares the version API's far costlier look.
bool HasExecutableHeader(const std::string& Name)
{
    fw_Handles::THandle File = OpenShared(Name);
    WORD Magic = 0;
    DWORD Got = 0;
    return File && ReadFile(File.Get(), &Magic, sizeof Magic, &Got, nullptr) && Got == sizeof Magic &&
           Magic == IMAGE_DOS_SIGNATURE;
}

// The version resource of a module into Block; False when it has none (a
// file that is no module is not handed to the system's reader at all).
bool ReadVersionBlock(const std::string& FileName, std::vector<uint8_t>& Block)
{
    if (!HasExecutableHeader(FileName))
        return false;
    DWORD Dummy = 0;
    const DWORD Size = GetFileVersionInfoSizeA(FileName.c_str(), &Dummy);
    if (Size == 0)
        return false;
    Block.resize(Size);
    return GetFileVersionInfoA(FileName.c_str(), 0, Size, Block.data());
}

TCompareVersionResult CompareDates(TDateTime Source, TDateTime Target)
{
    if (Source < Target)
        return cvKeep;
    if (Source > Target)
        return cvReplace;
    return cvSame;
}

TCompareVersionResult VersionAnswer(const std::string& Version, const std::string& TargetPath)
{
    switch (TVersionResource::CompareVersion(Version, FileVersionOf(TargetPath))) {
    case 0:
        return cvSame;
    case 1:
        return cvReplace;
    default:
        return cvKeep;
    }
}

void Define(fw_Classes::TPropertyBuilder<TVersionInfo>& P)
{
    P.String("Comment", &TVersionInfo::Comment, &TVersionInfo::Comment)
        .String("CompanyName", &TVersionInfo::CompanyName, &TVersionInfo::CompanyName)
        .String("FileDescription", &TVersionInfo::FileDescription, &TVersionInfo::FileDescription)
        .String("FileVersion", &TVersionInfo::FileVersion, &TVersionInfo::FileVersion)
        .String("InternalName", &TVersionInfo::InternalName, &TVersionInfo::InternalName)
        .String("LegalCopyright", &TVersionInfo::LegalCopyright, &TVersionInfo::LegalCopyright)
        .String("LegalTradeMarks", &TVersionInfo::LegalTradeMarks, &TVersionInfo::LegalTradeMarks)
        .String("OriginalFileName", &TVersionInfo::OriginalFileName, &TVersionInfo::OriginalFileName)
        .String("PrivateBuild", &TVersionInfo::PrivateBuild, &TVersionInfo::PrivateBuild)
        .String("ProductName", &TVersionInfo::ProductName, &TVersionInfo::ProductName)
        .String("ProductVersion", &TVersionInfo::ProductVersion, &TVersionInfo::ProductVersion)
        .String("SpecialBuild", &TVersionInfo::SpecialBuild, &TVersionInfo::SpecialBuild)
        .String("FileOS", &TVersionInfo::FileOS, &TVersionInfo::FileOS)
        .String("FileType", &TVersionInfo::FileType, &TVersionInfo::FileType)
        .String("FileSubType", &TVersionInfo::FileSubType, &TVersionInfo::FileSubType);
}

void DefineResource(fw_Classes::TPropertyBuilder<TVersionResource>& P)
{
    // The running program's own path is the default, and is not stored.
    P.String("FileName", &TVersionResource::FileName, &TVersionResource::SetFileName)
        .Stored(&TVersionResource::FileNameStored)
        .Enum<TLanguage>("Language", LanguageInfo, &TVersionResource::Language, &TVersionResource::SetLanguage,
                         lnUSEnglish)
        .Enum<TCharacterSet>("CharacterSet", CharacterSetInfo, &TVersionResource::CharacterSet,
                             &TVersionResource::SetCharacterSet, csMultilingual)
        .Object<TVersionInfo>("VersionInfo", &TVersionResource::VersionInfo);
}

} // namespace

const fw_Classes::TEnumInfo LanguageInfo{"TLanguage",
                                         {"lnArabic",
                                          "lnBulgarian",
                                          "lnCatalan",
                                          "lnTraditionalChinese",
                                          "lnCzech",
                                          "lnDanish",
                                          "lnGerman",
                                          "lnGreek",
                                          "lnUSEnglish",
                                          "lnCastilianSpanish",
                                          "lnFinnish",
                                          "lnFrench",
                                          "lnHebrew",
                                          "lnHungarian",
                                          "lnIcelandic",
                                          "lnItalian",
                                          "lnJapanese",
                                          "lnKorean",
                                          "lnDutch",
                                          "lnNorwegianBokmal",
                                          "lnPolish",
                                          "lnBrazilianPortuguese",
                                          "lnRhaetoRomanic",
                                          "lnRomanian",
                                          "lnRussian",
                                          "lnCroatoSerbian",
                                          "lnSlovak",
                                          "lnAlbanian",
                                          "lnSwedish",
                                          "lnThai",
                                          "lnTurkish",
                                          "lnUrdu",
                                          "lnBahasa",
                                          "lnSimplifiedChinese",
                                          "lnSwissGerman",
                                          "lnUKEnglish",
                                          "lnMexicanSpanish",
                                          "lnBelgianFrench",
                                          "lnSwissItalian",
                                          "lnBelgianDutch",
                                          "lnNorwegianNynorsk",
                                          "lnPortuguese",
                                          "lnSerboCroatian",
                                          "lnCanadianFrench",
                                          "lnSwissFrench"}};
const fw_Classes::TEnumInfo CharacterSetInfo{"TCharacterSet",
                                             {"csASCII", "csJapan", "csKorea", "csTaiwan", "csUnicode", "csLatin2",
                                              "csCyrillic", "csMultilingual", "csGreek", "csTurkish", "csHebrew",
                                              "csArabic"}};

uint16_t LanguageID(TLanguage Language) { return LanguageIDs[Language]; }
uint16_t CodePage(TCharacterSet CharacterSet) { return CodePages[CharacterSet]; }

// ---- TVersionInfo ---------------------------------------------------------------

FW_DEFINE_CLASS(TVersionInfo, fw_Classes::TPersistent, nullptr, Define)

void TVersionInfo::Clear()
{
    for (std::string* S : {&Comment, &CompanyName, &FileDescription, &FileVersion, &InternalName, &LegalCopyright,
                           &LegalTradeMarks, &OriginalFileName, &PrivateBuild, &ProductName, &ProductVersion,
                           &SpecialBuild, &FileOS, &FileType, &FileSubType})
        S->clear();
    PrimaryLanguage = 0;
}

void TVersionInfo::Assign(fw_Classes::TPersistent* Source)
{
    auto* Other = dynamic_cast<TVersionInfo*>(Source);
    if (!Other) {
        inherited::Assign(Source);
        return;
    }
    Comment = Other->Comment;
    CompanyName = Other->CompanyName;
    FileDescription = Other->FileDescription;
    FileVersion = Other->FileVersion;
    InternalName = Other->InternalName;
    LegalCopyright = Other->LegalCopyright;
    LegalTradeMarks = Other->LegalTradeMarks;
    OriginalFileName = Other->OriginalFileName;
    PrimaryLanguage = Other->PrimaryLanguage;
    PrivateBuild = Other->PrivateBuild;
    ProductName = Other->ProductName;
    ProductVersion = Other->ProductVersion;
    SpecialBuild = Other->SpecialBuild;
    FileOS = Other->FileOS;
    FileType = Other->FileType;
    FileSubType = Other->FileSubType;
}

// ---- TVersionResource -----------------------------------------------------------

FW_DEFINE_CLASS(TVersionResource, fw_Classes::TComponent, fw_Classes::CreateComponent<TVersionResource>, DefineResource)

TVersionResource::TVersionResource(fw_Classes::TComponent* AOwner) : TComponent(AOwner)
{
    FFileName = fw_SysUtils::ParamStr(0);
    Refresh();
}

void TVersionResource::SetFileName(const std::string& Value)
{
    FFileName = Value;
    FFileNameStored = !fw_SysUtils::SameText(Value, fw_SysUtils::ParamStr(0));
    Refresh();
}

void TVersionResource::SetLanguage(TLanguage Value)
{
    FLanguage = Value;
    Refresh();
}

void TVersionResource::SetCharacterSet(TCharacterSet Value)
{
    FCharacterSet = Value;
    Refresh();
}

void TVersionResource::Refresh()
{
    FVersionInfo.Clear();
    std::vector<uint8_t> Block;
    if (!ReadVersionBlock(FFileName, Block))
        return;

    VS_FIXEDFILEINFO* Fixed = nullptr;
    UINT Len = 0;
    if (!VerQueryValueA(Block.data(), "\\", reinterpret_cast<void**>(&Fixed), &Len) || !Fixed ||
        Len < sizeof(VS_FIXEDFILEINFO))
        return;

    WORD* Translation = nullptr;
    if (VerQueryValueA(Block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&Translation), &Len) &&
        Translation && Len == 2 * sizeof(WORD)) // one language and code page
        FVersionInfo.PrimaryLanguage = PRIMARYLANGID(Translation[0]);

    FVersionInfo.FileVersion = FourParts(Fixed->dwFileVersionMS, Fixed->dwFileVersionLS);
    FVersionInfo.ProductVersion = FourParts(Fixed->dwProductVersionMS, Fixed->dwProductVersionLS);
    FVersionInfo.FileOS = FileOSText(Fixed->dwFileOS);
    FVersionInfo.FileType = FileTypeText(Fixed->dwFileType);
    FVersionInfo.FileSubType = FileSubTypeText(Fixed->dwFileType, Fixed->dwFileSubtype);

    const std::string Table =
        "\\StringFileInfo\\" + IntToHex(LanguageID(FLanguage), 4) + IntToHex(CodePage(FCharacterSet), 4) + "\\";
    // The fixed information's file version stands; the table's text is only for display elsewhere.
    const std::pair<const char*, std::string*> Keys[] = {{"Comment", &FVersionInfo.Comment},
                                                         {"CompanyName", &FVersionInfo.CompanyName},
                                                         {"FileDescription", &FVersionInfo.FileDescription},
                                                         {"InternalName", &FVersionInfo.InternalName},
                                                         {"LegalCopyright", &FVersionInfo.LegalCopyright},
                                                         {"LegalTradeMarks", &FVersionInfo.LegalTradeMarks},
                                                         {"OriginalFileName", &FVersionInfo.OriginalFileName},
                                                         {"PrivateBuild", &FVersionInfo.PrivateBuild},
                                                         {"ProductName", &FVersionInfo.ProductName},
                                                         {"ProductVersion", &FVersionInfo.ProductVersion},
                                                         {"SpecialBuild", &FVersionInfo.SpecialBuild}};
    for (const auto& [Key, Field] : Keys) {
        char* Text = nullptr;
        if (VerQueryValueA(Block.data(), (Table + Key).c_str(), reinterpret_cast<void**>(&Text), &Len) && Text) {
            // Len counts characters, possibly including the terminator.
            size_t N = 0;
            while (N < Len && Text[N] != '\0')
                ++N;
            *Field = std::string(Text, N);
        }
    }
}

int TVersionResource::CompareVersion(const std::string& A, const std::string& B)
{
    for (size_t I = 0;; ++I) {
        std::string PA = Part(A, I), PB = Part(B, I);
        if (PA.empty() || PB.empty()) {
            if (!PB.empty())
                return 2;
            if (!PA.empty())
                return 1;
            return 0;
        }
        int VA = fw_SysUtils::StrToInt(PA), VB = fw_SysUtils::StrToInt(PB);
        if (VB > VA)
            return 2;
        if (VB < VA)
            return 1;
    }
}

TCompareVersionResult TVersionResource::IsFileNewer(const std::string& Version, const std::string& TargetPath,
                                                    TOverwriteType Mode, TDateTime Date)
{
    auto ByDate = [&]() {
        fw_Handles::THandle Target = OpenShared(TargetPath);
        TDateTime TargetDate;
        if (!Target || !LastWriteDate(Target.Get(), TargetDate))
            return cvUnknown;
        return CompareDates(Date, TargetDate);
    };
    switch (Mode) {
    case owAlways:
        return cvReplace;
    case owNever:
        return !fw_SysUtils::Trim(TargetPath).empty() && fw_SysUtils::FileExists(TargetPath) ? cvKeep : cvReplace;
    case owVersion:
        return VersionAnswer(Version, TargetPath);
    case owDate:
        return ByDate();
    case owVersionDate: {
        TCompareVersionResult R = VersionAnswer(Version, TargetPath);
        return R == cvSame ? ByDate() : R;
    }
    default:
        return cvUnknown;
    }
}

TCompareVersionResult TVersionResource::IsFileNewerByName(const std::string& SourcePath, const std::string& TargetPath,
                                                          TOverwriteType Mode)
{
    auto ByDate = [&]() {
        fw_Handles::THandle Source = OpenShared(SourcePath);
        if (!Source)
            throw fw_Streams::EFOpenError("Cannot open %s in TVersionResource.IsFileNewerByName", {SourcePath});
        fw_Handles::THandle Target = OpenShared(TargetPath);
        if (!Target)
            throw fw_Streams::EFOpenError("Cannot open %s in TVersionResource.IsFileNewerByName", {TargetPath});
        TDateTime SourceDate, TargetDate;
        if (!LastWriteDate(Source.Get(), SourceDate) || !LastWriteDate(Target.Get(), TargetDate))
            return cvUnknown;
        return CompareDates(SourceDate, TargetDate);
    };
    switch (Mode) {
    case owAlways:
    case owNever:
        return IsFileNewer("", TargetPath, Mode, 0);
    case owDate:
        return ByDate();
    case owVersion:
        return VersionAnswer(FileVersionOf(SourcePath), TargetPath);
    case owVersionDate: {
        TCompareVersionResult R = VersionAnswer(FileVersionOf(SourcePath), TargetPath);
        return R == cvSame ? ByDate() : R;
    }
    default:
        return cvUnknown;
    }
}

bool LastWriteDate(HANDLE File, TDateTime& Date)
{
    FILETIME UTC, Local;
    SYSTEMTIME T;
    if (!GetFileTime(File, nullptr, nullptr, &UTC) || !FileTimeToLocalFileTime(&UTC, &Local) ||
        !FileTimeToSystemTime(&Local, &T))
        return false;
    // A time the packed form cannot hold is held at its nearest end: a file
    // of 1975 is as old as any date can say, not of the year 1899, and one of
    // 2150 does not wrap round to 2022.
    if (T.wYear < FirstFileDateYear)
        Date = fw_SysUtils::EncodeDate(FirstFileDateYear, 1, 1);
    else if (T.wYear > LastFileDateYear)
        Date = fw_SysUtils::EncodeDate(LastFileDateYear, 12, 31) + fw_SysUtils::EncodeTime(23, 59, 58, 0);
    else
        Date = fw_SysUtils::EncodeDate(T.wYear, T.wMonth, T.wDay) +
               fw_SysUtils::EncodeTime(T.wHour, T.wMinute, T.wSecond / 2 * 2, 0);
    return true;
}

bool HasVersionString(const std::string& FileName, const std::string& Key)
{
    std::vector<uint8_t> Block;
    if (!ReadVersionBlock(FileName, Block))
        return false;
    WORD* Translation = nullptr;
    UINT Len = 0;
    if (!VerQueryValueA(Block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&Translation), &Len) ||
        !Translation || Len < 2 * sizeof(WORD))
        return false;
    const std::string Entry =
        "\\StringFileInfo\\" + IntToHex(Translation[0], 4) + IntToHex(Translation[1], 4) + "\\" + Key;
    char* Text = nullptr;
    return VerQueryValueA(Block.data(), Entry.c_str(), reinterpret_cast<void**>(&Text), &Len) && Text;
}

TVersionResource& VersionResource()
{
    // Made on first use rather than at start-up so that it never depends on
    // the order in which units start.
    static std::unique_ptr<TVersionResource> Instance(new TVersionResource(nullptr));
    return *Instance;
}

std::string FileVersionOf(const std::string& FileName)
{
    TVersionResource& R = VersionResource();
    R.SetFileName(FileName);
    return R.VersionInfo()->FileVersion;
}

} // namespace cmp_TVersion
