#include "framework/fw_SysUtils.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fw_SysUtils {

namespace {

[[noreturn]] void FormatError(std::string_view Fmt)
{
    throw EConvertError(std::string("Format '") + std::string(Fmt) + "' invalid or incompatible with argument");
}

std::string Pad(std::string S, int Width, bool Left)
{
    if (Width > 0 && int(S.size()) < Width) {
        if (Left)
            S.append(size_t(Width) - S.size(), ' ');
        else
            S.insert(0, size_t(Width) - S.size(), ' ');
    }
    return S;
}

std::string WithThousands(std::string Digits)
{
    // Digits holds an optional sign, integer digits and an optional fraction.
    size_t Start = (!Digits.empty() && Digits[0] == '-') ? 1 : 0;
    size_t Dot = Digits.find('.');
    size_t End = Dot == std::string::npos ? Digits.size() : Dot;
    for (ptrdiff_t I = ptrdiff_t(End) - 3; I > ptrdiff_t(Start); I -= 3)
        Digits.insert(size_t(I), ",");
    return Digits;
}

std::string FormatReal(char Type, double V, int Prec)
{
    char Buf[512];
    switch (Type) {
    case 'e':
        // The framework writes three exponent digits and an upper-case E.
        snprintf(Buf, sizeof Buf, "%.*E", Prec < 0 ? 14 : std::max(Prec - 1, 0), V);
        {
            std::string S = Buf;
            size_t E = S.find('E');
            if (E != std::string::npos) {
                std::string Exp = S.substr(E + 2);
                while (Exp.size() < 3)
                    Exp.insert(0, "0");
                S = S.substr(0, E + 2) + Exp;
            }
            return S;
        }
    case 'f':
        snprintf(Buf, sizeof Buf, "%.*f", Prec < 0 ? 2 : Prec, V);
        return Buf;
    case 'n':
        snprintf(Buf, sizeof Buf, "%.*f", Prec < 0 ? 2 : Prec, V);
        return WithThousands(Buf);
    case 'm':
        snprintf(Buf, sizeof Buf, "%.*f", Prec < 0 ? 2 : Prec, V);
        return WithThousands(Buf);
    default: // 'g'
        snprintf(Buf, sizeof Buf, "%.*G", Prec < 0 ? 15 : std::max(Prec, 1), V);
        return Buf;
    }
}

} // namespace

std::string Format(std::string_view Fmt, TVarRecs Args)
{
    const TVarRec* Arg = Args.begin();
    const size_t Count = Args.size();
    size_t Next = 0;
    std::string Out;
    Out.reserve(Fmt.size() + 32);

    auto TakeInt = [&]() -> int {
        if (Next >= Count)
            FormatError(Fmt);
        const int64_t* I = Arg[Next++].AsInteger();
        if (!I)
            FormatError(Fmt);
        return int(*I);
    };

    for (size_t P = 0; P < Fmt.size(); ++P) {
        char C = Fmt[P];
        if (C != '%') {
            Out += C;
            continue;
        }
        if (++P >= Fmt.size())
            FormatError(Fmt);
        if (Fmt[P] == '%') {
            Out += '%';
            continue;
        }
        // [index ":"] ["-"] [width] ["." prec] type
        auto ReadNumber = [&](int& Value) -> bool {
            if (P < Fmt.size() && Fmt[P] == '*') {
                ++P;
                Value = TakeInt();
                return true;
            }
            bool Any = false;
            Value = 0;
            while (P < Fmt.size() && Fmt[P] >= '0' && Fmt[P] <= '9') {
                Value = Value * 10 + (Fmt[P++] - '0');
                Any = true;
            }
            return Any;
        };
        int Num = 0;
        bool HaveNum = ReadNumber(Num);
        if (P < Fmt.size() && Fmt[P] == ':') {
            ++P;
            Next = HaveNum ? size_t(Num) : 0;
            HaveNum = false;
        }
        bool Left = false;
        if (P < Fmt.size() && Fmt[P] == '-') {
            Left = true;
            ++P;
        }
        int Width = -1;
        if (HaveNum)
            Width = Num;
        else if (ReadNumber(Num))
            Width = Num;
        int Prec = -1;
        if (P < Fmt.size() && Fmt[P] == '.') {
            ++P;
            ReadNumber(Num);
            Prec = Num;
        }
        if (P >= Fmt.size() || Next >= Count)
            FormatError(Fmt);
        const TVarRec& A = Arg[Next++];
        char Type = char(tolower((unsigned char)Fmt[P]));
        std::string Piece;
        switch (Type) {
        case 'd':
        case 'u': {
            const int64_t* I = A.AsInteger();
            if (!I)
                FormatError(Fmt);
            int64_t V = *I;
            if (Type == 'u')
                V = int64_t(uint32_t(V));
            std::string Digits = std::to_string(V < 0 ? -(uint64_t)V : (uint64_t)V);
            if (Prec > int(Digits.size()))
                Digits.insert(0, size_t(Prec) - Digits.size(), '0');
            Piece = (V < 0 ? "-" : "") + Digits;
            break;
        }
        case 'x': {
            const int64_t* I = A.AsInteger();
            if (!I)
                FormatError(Fmt);
            uint64_t V = uint64_t(*I);
            if (*I >= INT32_MIN && *I <= INT32_MAX)
                V = uint32_t(*I);
            Piece = IntToHex(V, Prec < 0 ? 0 : Prec);
            break;
        }
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm': {
            double V;
            if (const double* D = A.AsReal())
                V = *D;
            else if (const int64_t* I = A.AsInteger())
                V = double(*I);
            else
                FormatError(Fmt);
            Piece = FormatReal(Type, V, Prec);
            break;
        }
        case 'p': {
            const void* const* Ptr = A.AsPointer();
            if (!Ptr)
                FormatError(Fmt);
            Piece = IntToHex(uint64_t(uintptr_t(*Ptr)), int(2 * sizeof(void*)));
            break;
        }
        case 's': {
            const std::string* S = A.AsString();
            if (!S)
                FormatError(Fmt);
            Piece = Prec >= 0 && size_t(Prec) < S->size() ? S->substr(0, size_t(Prec)) : *S;
            break;
        }
        default:
            FormatError(Fmt);
        }
        Out += Pad(std::move(Piece), Width, Left);
    }
    return Out;
}

void RangeError() { throw ERangeError("Range check error"); }

EOleSysError::EOleSysError(HRESULT Code) : Exception(SysErrorMessage(DWORD(Code))), ErrorCode(Code)
{
    if (Message().empty())
        SetMessage(Format("Unspecified error (0x%.8x)", {unsigned(Code)}));
}

std::string SysErrorMessage(DWORD Code)
{
    char* Buf = nullptr;
    DWORD Len = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, Code, 0, reinterpret_cast<char*>(&Buf), 0, nullptr);
    std::string S = Len && Buf ? std::string(Buf, Len) : std::string();
    if (Buf)
        LocalFree(Buf);
    while (!S.empty() && (S.back() == '\n' || S.back() == '\r' || S.back() == ' ' || S.back() == '.'))
        S.pop_back();
    return S;
}

void RaiseLastOSError(DWORD Code)
{
    if (Code == 0)
        Code = GetLastError();
    if (Code == 0)
        throw EOSError("A call to an OS function failed", 0);
    throw EOSError(Format("System Error.  Code: %d.\n%s", {int64_t(Code), SysErrorMessage(Code)}), Code);
}

// ---- strings -------------------------------------------------------------

std::string Trim(std::string_view S)
{
    size_t B = 0, E = S.size();
    while (B < E && (unsigned char)S[B] <= ' ')
        ++B;
    while (E > B && (unsigned char)S[E - 1] <= ' ')
        --E;
    return std::string(S.substr(B, E - B));
}

std::string TrimLeft(std::string_view S)
{
    size_t B = 0;
    while (B < S.size() && (unsigned char)S[B] <= ' ')
        ++B;
    return std::string(S.substr(B));
}

std::string TrimRight(std::string_view S)
{
    size_t E = S.size();
    while (E > 0 && (unsigned char)S[E - 1] <= ' ')
        --E;
    return std::string(S.substr(0, E));
}

std::string UpperCase(std::string_view S)
{
    std::string R(S);
    for (char& C : R)
        if (C >= 'a' && C <= 'z')
            C = char(C - 32);
    return R;
}

std::string LowerCase(std::string_view S)
{
    std::string R(S);
    for (char& C : R)
        if (C >= 'A' && C <= 'Z')
            C = char(C + 32);
    return R;
}

std::string AnsiUpperCase(std::string_view S)
{
    std::string R(S);
    if (!R.empty())
        CharUpperBuffA(R.data(), DWORD(R.size()));
    return R;
}

int CompareText(std::string_view A, std::string_view B)
{
    size_t N = std::min(A.size(), B.size());
    for (size_t I = 0; I < N; ++I) {
        unsigned char X = (unsigned char)A[I], Y = (unsigned char)B[I];
        if (X >= 'a' && X <= 'z')
            X = (unsigned char)(X - 32);
        if (Y >= 'a' && Y <= 'z')
            Y = (unsigned char)(Y - 32);
        if (X != Y)
            return int(X) - int(Y);
    }
    return int(A.size()) - int(B.size());
}

bool SameText(std::string_view A, std::string_view B) { return A.size() == B.size() && CompareText(A, B) == 0; }

bool StartsText(std::string_view Prefix, std::string_view S)
{
    return S.size() >= Prefix.size() && SameText(S.substr(0, Prefix.size()), Prefix);
}

std::string IntToStr(int64_t V) { return std::to_string(V); }

std::string IntToHex(uint64_t V, int Digits)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string S;
    do {
        S.insert(S.begin(), Hex[V & 15]);
        V >>= 4;
    } while (V);
    if (int(S.size()) < Digits)
        S.insert(0, size_t(Digits) - S.size(), '0');
    return S;
}

bool TryStrToInt(std::string_view S, int& Value)
{
    // Decimal with an optional sign, or hexadecimal after "$" or "0x";
    // blanks around the number are allowed, nothing else.
    std::string T = Trim(S);
    size_t P = 0;
    bool Neg = false;
    if (P < T.size() && (T[P] == '-' || T[P] == '+'))
        Neg = T[P++] == '-';
    int Base = 10;
    if (P < T.size() && T[P] == '$') {
        Base = 16;
        ++P;
    } else if (P + 1 < T.size() && T[P] == '0' && (T[P + 1] == 'x' || T[P + 1] == 'X')) {
        Base = 16;
        P += 2;
    }
    if (P >= T.size())
        return false;
    int64_t V = 0;
    for (; P < T.size(); ++P) {
        int D;
        char C = T[P];
        if (C >= '0' && C <= '9')
            D = C - '0';
        else if (Base == 16 && C >= 'a' && C <= 'f')
            D = C - 'a' + 10;
        else if (Base == 16 && C >= 'A' && C <= 'F')
            D = C - 'A' + 10;
        else
            return false;
        V = V * Base + D;
        if (V > (Base == 16 ? int64_t(UINT32_MAX) : int64_t(INT32_MAX) + (Neg ? 1 : 0)))
            return false;
    }
    Value = Base == 16 ? int(uint32_t(V)) : int(Neg ? -V : V);
    if (Base == 16 && Neg)
        Value = -Value;
    return true;
}

int StrToInt(std::string_view S)
{
    int V;
    if (!TryStrToInt(S, V))
        throw EConvertError(Format("'%s' is not a valid integer value", {S}));
    return V;
}

int StrToIntDef(std::string_view S, int Default)
{
    int V;
    return TryStrToInt(S, V) ? V : Default;
}

double StrToFloat(std::string_view S)
{
    std::string T = Trim(S);
    char* End = nullptr;
    double V = strtod(T.c_str(), &End);
    if (T.empty() || End != T.c_str() + T.size())
        throw EConvertError(Format("'%s' is not a valid floating point value", {S}));
    return V;
}

std::string FloatToStr(double V) { return FormatReal('g', V, 15); }

std::string QuotedStr(std::string_view S)
{
    std::string R = "'";
    for (char C : S) {
        R += C;
        if (C == '\'')
            R += C;
    }
    return R + "'";
}

// ---- date-times ------------------------------------------------------------

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

static int DaysInMonth(int Year, int Month)
{
    static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Result)
{
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
        return false;
    for (int M = 1; M < Month; ++M)
        Day += DaysInMonth(Year, M);
    int Y = Year - 1;
    Result = double(Y * 365 + Y / 4 - Y / 100 + Y / 400 + Day - 693594);
    return true;
}

TDateTime EncodeDate(int Year, int Month, int Day)
{
    TDateTime R;
    if (!TryEncodeDate(Year, Month, Day, R))
        throw EConvertError("Invalid argument to date encode");
    return R;
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec)
{
    if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (Hour * 3600000.0 + Min * 60000.0 + Sec * 1000.0 + MSec) / MSecsPerDay;
}

void DecodeDate(TDateTime D, int& Year, int& Month, int& Day)
{
    // Days since 0001-01-01 (that day being 1), as the encoder counts them.
    int64_t T = int64_t(std::floor(D)) + 693594;
    if (T <= 0) {
        Year = Month = Day = 0;
        return;
    }
    --T;
    int Y = 1;
    int64_t Q = T / 146097;
    T %= 146097;
    Y += int(Q * 400);
    int64_t C = T / 36524;
    if (C == 4)
        C = 3;
    T -= C * 36524;
    Y += int(C * 100);
    int64_t F = T / 1461;
    T %= 1461;
    Y += int(F * 4);
    int64_t A = T / 365;
    if (A == 4)
        A = 3;
    T -= A * 365;
    Y += int(A);
    int M = 1;
    while (T >= DaysInMonth(Y, M)) {
        T -= DaysInMonth(Y, M);
        ++M;
    }
    Year = Y;
    Month = M;
    Day = int(T) + 1;
}

void DecodeTime(TDateTime D, int& Hour, int& Min, int& Sec, int& MSec)
{
    int64_t Ms = int64_t(std::llround(std::fabs(D - std::trunc(D)) * MSecsPerDay));
    if (Ms >= int64_t(MSecsPerDay))
        Ms = int64_t(MSecsPerDay) - 1;
    Hour = int(Ms / 3600000);
    Min = int(Ms / 60000 % 60);
    Sec = int(Ms / 1000 % 60);
    MSec = int(Ms % 1000);
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& ST)
{
    return EncodeDate(ST.wYear, ST.wMonth, ST.wDay) + EncodeTime(ST.wHour, ST.wMinute, ST.wSecond, ST.wMilliseconds);
}

SYSTEMTIME DateTimeToSystemTime(TDateTime D)
{
    SYSTEMTIME ST{};
    int Y, M, Dd, H, N, S, Ms;
    DecodeDate(D, Y, M, Dd);
    DecodeTime(D, H, N, S, Ms);
    ST.wYear = WORD(Y);
    ST.wMonth = WORD(M);
    ST.wDay = WORD(Dd);
    ST.wHour = WORD(H);
    ST.wMinute = WORD(N);
    ST.wSecond = WORD(S);
    ST.wMilliseconds = WORD(Ms);
    return ST;
}

TDateTime Now()
{
    SYSTEMTIME ST;
    GetLocalTime(&ST);
    return SystemTimeToDateTime(ST);
}

TDateTime FileTimeToDateTime(const FILETIME& UTC)
{
    FILETIME Local;
    SYSTEMTIME ST;
    if (!FileTimeToLocalFileTime(&UTC, &Local) || !FileTimeToSystemTime(&Local, &ST))
        RaiseLastOSError();
    return SystemTimeToDateTime(ST);
}

FILETIME DateTimeToFileTime(TDateTime Local)
{
    SYSTEMTIME ST = DateTimeToSystemTime(Local);
    FILETIME L, U;
    if (!SystemTimeToFileTime(&ST, &L) || !LocalFileTimeToFileTime(&L, &U))
        RaiseLastOSError();
    return U;
}

TDateTime FileDateToDateTime(int FileDate)
{
    unsigned Date = unsigned(FileDate) >> 16, Time = unsigned(FileDate) & 0xFFFF;
    TDateTime D;
    if (!TryEncodeDate(int(Date >> 9) + 1980, int((Date >> 5) & 15), int(Date & 31), D))
        throw EConvertError("Invalid argument to date encode");
    return D + EncodeTime(int(Time >> 11), int((Time >> 5) & 63), int(Time & 31) * 2, 0);
}

int DateTimeToFileDate(TDateTime D)
{
    int Y, M, Dd, H, N, S, Ms;
    DecodeDate(D, Y, M, Dd);
    if (Y < 1980 || Y > 2107)
        return 0;
    DecodeTime(D, H, N, S, Ms);
    unsigned Date = unsigned((Y - 1980) << 9 | M << 5 | Dd);
    unsigned Time = unsigned(H << 11 | N << 5 | S / 2);
    return int(Date << 16 | Time);
}

int FileGetDate(HANDLE Handle)
{
    FILETIME UTC, Local;
    WORD Date, Time;
    if (!GetFileTime(Handle, nullptr, nullptr, &UTC) || !FileTimeToLocalFileTime(&UTC, &Local) ||
        !FileTimeToDosDateTime(&Local, &Date, &Time))
        return -1;
    return int(unsigned(Date) << 16 | Time);
}

DWORD FileSetDate(HANDLE Handle, int Age)
{
    FILETIME Local, UTC;
    if (!DosDateTimeToFileTime(WORD(unsigned(Age) >> 16), WORD(Age & 0xFFFF), &Local) ||
        !LocalFileTimeToFileTime(&Local, &UTC) || !SetFileTime(Handle, nullptr, nullptr, &UTC))
        return GetLastError();
    return 0;
}

int FileAge(const std::string& FileName)
{
    WIN32_FILE_ATTRIBUTE_DATA Data;
    FILETIME Local;
    WORD Date, Time;
    if (!GetFileAttributesExA(FileName.c_str(), GetFileExInfoStandard, &Data) ||
        (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !FileTimeToLocalFileTime(&Data.ftLastWriteTime, &Local) ||
        !FileTimeToDosDateTime(&Local, &Date, &Time))
        return -1;
    return int(unsigned(Date) << 16 | Time);
}

// ---- files -------------------------------------------------------------------

bool FileExists(const std::string& FileName)
{
    DWORD A = GetFileAttributesA(FileName.c_str());
    return A != INVALID_FILE_ATTRIBUTES && !(A & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& Dir)
{
    DWORD A = GetFileAttributesA(Dir.c_str());
    return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::string& Dir) { return CreateDirectoryA(Dir.c_str(), nullptr) != 0; }
bool RemoveDir(const std::string& Dir) { return RemoveDirectoryA(Dir.c_str()) != 0; }

bool ForceDirectories(std::string Dir)
{
    if (Dir.empty())
        throw EInOutError("Unable to create directory");
    while (Dir.size() > 1 && Dir.back() == '\\')
        Dir.pop_back();
    if (Dir.size() < 3 || DirectoryExists(Dir) || ExtractFilePath(Dir) == Dir)
        return true; // a drive root or an existing folder
    std::string Parent = ExtractFileDir(Dir);
    return (Parent.empty() || Parent == Dir || ForceDirectories(Parent)) && (CreateDir(Dir) || DirectoryExists(Dir));
}

bool DeleteFile(const std::string& FileName) { return DeleteFileA(FileName.c_str()) != 0; }

bool RenameFile(const std::string& OldName, const std::string& NewName)
{
    return MoveFileA(OldName.c_str(), NewName.c_str()) != 0;
}

int64_t FileSizeByName(const std::string& FileName)
{
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExA(FileName.c_str(), GetFileExInfoStandard, &Data) ||
        (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return int64_t(Data.nFileSizeHigh) << 32 | Data.nFileSizeLow;
}

static size_t LastDelimiter(std::string_view Delims, std::string_view S)
{
    size_t P = S.find_last_of(Delims);
    return P == std::string_view::npos ? 0 : P + 1; // 1-based, 0 = none
}

std::string ExtractFilePath(std::string_view FileName)
{
    return std::string(FileName.substr(0, LastDelimiter("\\:", FileName)));
}

std::string ExtractFileDir(std::string_view FileName)
{
    size_t I = LastDelimiter("\\:", FileName);
    if (I > 1 && FileName[I - 1] == '\\' && FileName[I - 2] != '\\' && FileName[I - 2] != ':')
        --I;
    return std::string(FileName.substr(0, I));
}

std::string ExtractFileName(std::string_view FileName)
{
    return std::string(FileName.substr(LastDelimiter("\\:", FileName)));
}

std::string ExtractFileExt(std::string_view FileName)
{
    size_t I = LastDelimiter(".\\:", FileName);
    return I > 0 && FileName[I - 1] == '.' ? std::string(FileName.substr(I - 1)) : std::string();
}

std::string ExtractFileDrive(std::string_view FileName)
{
    if (FileName.size() >= 2 && FileName[1] == ':')
        return std::string(FileName.substr(0, 2));
    if (FileName.size() >= 2 && FileName[0] == '\\' && FileName[1] == '\\') {
        // \\server\share
        size_t P = FileName.find('\\', 2);
        if (P != std::string_view::npos)
            P = FileName.find('\\', P + 1);
        return std::string(FileName.substr(0, P == std::string_view::npos ? FileName.size() : P));
    }
    return std::string();
}

std::string ChangeFileExt(std::string_view FileName, std::string_view Ext)
{
    size_t I = LastDelimiter(".\\:", FileName);
    size_t Cut = I > 0 && FileName[I - 1] == '.' ? I - 1 : FileName.size();
    return std::string(FileName.substr(0, Cut)) + std::string(Ext);
}

std::string ExpandFileName(const std::string& FileName)
{
    char Buf[MAX_PATH * 4];
    char* Part;
    DWORD N = GetFullPathNameA(FileName.c_str(), sizeof Buf, Buf, &Part);
    return N && N < sizeof Buf ? std::string(Buf, N) : FileName;
}

std::string GetCurrentDir()
{
    char Buf[MAX_PATH * 4];
    DWORD N = GetCurrentDirectoryA(sizeof Buf, Buf);
    return N && N < sizeof Buf ? std::string(Buf, N) : std::string();
}

// ---- command line --------------------------------------------------------

static std::vector<std::string> SplitCommandLine()
{
    std::vector<std::string> Args;
    const char* P = GetCommandLineA();
    while (*P) {
        while (*P && (unsigned char)*P <= ' ')
            ++P;
        if (!*P)
            break;
        std::string Arg;
        bool Quoted = false;
        while (*P && (Quoted || (unsigned char)*P > ' ')) {
            if (*P == '"')
                Quoted = !Quoted;
            else
                Arg += *P;
            ++P;
        }
        Args.push_back(std::move(Arg));
    }
    return Args;
}

int ParamCount()
{
    size_t N = SplitCommandLine().size();
    return N ? int(N) - 1 : 0;
}

std::string ParamStr(int Index)
{
    if (Index == 0)
        return ModuleFileName();
    std::vector<std::string> Args = SplitCommandLine();
    return Index > 0 && size_t(Index) < Args.size() ? Args[size_t(Index)] : std::string();
}

std::string ModuleFileName(HMODULE Module)
{
    char Buf[MAX_PATH * 4];
    DWORD N = GetModuleFileNameA(Module, Buf, sizeof Buf);
    return std::string(Buf, N < sizeof Buf ? N : 0);
}

} // namespace fw_SysUtils
