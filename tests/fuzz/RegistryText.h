// A registry tree as text, one value a line: "<key>|<name>|<type>|<data>",
// the key relative to the tree's root. Text and expandable text are the data
// as it stands, a multi-string its parts between "|", numbers in decimal and
// binary data its bytes; "KEY" makes a key with no value. Damaged trees are
// damaged texts, loaded back value by value.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz_registry {

struct TValue {
    std::string Key, Name;
    DWORD Type = REG_NONE;
    std::string Data; // the raw bytes as stored
};

inline const char* TypeName(DWORD Type)
{
    switch (Type) {
    case REG_SZ:
        return "SZ";
    case REG_EXPAND_SZ:
        return "EXPAND_SZ";
    case REG_MULTI_SZ:
        return "MULTI_SZ";
    case REG_DWORD:
        return "DWORD";
    case REG_QWORD:
        return "QWORD";
    case REG_BINARY:
        return "BINARY";
    default:
        return "NONE";
    }
}

inline DWORD TypeOfName(const std::string& Name)
{
    for (DWORD T : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY})
        if (Name == TypeName(T))
            return T;
    return REG_NONE;
}

// Every value below Key (and every key, as a value of no name and type
// KEY when it holds none), depth first.
inline void ReadTree(HKEY Key, const std::string& Path, std::vector<TValue>& Out, std::vector<std::string>& Keys)
{
    Keys.push_back(Path);
    char Name[16384];
    std::vector<BYTE> Data(1 << 16);
    for (DWORD I = 0;; ++I) {
        DWORD NameSize = sizeof Name, Type = 0, Size = DWORD(Data.size());
        LONG R = RegEnumValueA(Key, I, Name, &NameSize, nullptr, &Type, Data.data(), &Size);
        if (R == ERROR_MORE_DATA) {
            Data.resize(size_t(Size) + 2);
            NameSize = sizeof Name;
            Size = DWORD(Data.size());
            R = RegEnumValueA(Key, I, Name, &NameSize, nullptr, &Type, Data.data(), &Size);
        }
        if (R != ERROR_SUCCESS)
            break;
        Out.push_back(
            {Path, std::string(Name, NameSize), Type, std::string(reinterpret_cast<char*>(Data.data()), Size)});
    }
    std::vector<std::string> Subs;
    for (DWORD I = 0;; ++I) {
        DWORD NameSize = 256;
        if (RegEnumKeyExA(Key, I, Name, &NameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Subs.emplace_back(Name, NameSize);
    }
    for (const std::string& Sub : Subs) {
        HKEY K = nullptr;
        if (RegOpenKeyExA(Key, Sub.c_str(), 0, KEY_READ, &K) != ERROR_SUCCESS)
            continue;
        ReadTree(K, Path.empty() ? Sub : Path + "\\" + Sub, Out, Keys);
        RegCloseKey(K);
    }
}

// Binary data is written in hex: its bytes may hold the line's separators.
inline std::string HexOf(const std::string& Bytes)
{
    static const char Digits[] = "0123456789abcdef";
    std::string Hex;
    for (unsigned char B : Bytes)
        Hex += std::string{Digits[B >> 4], Digits[B & 15]};
    return Hex;
}

// Pairs of hex digits; anything else is passed over.
inline std::string BytesOfHex(const std::string& Hex)
{
    std::string Bytes;
    int High = -1;
    for (char C : Hex) {
        const char* At = std::strchr("0123456789abcdef", C | 0x20);
        if (!C || !At)
            continue;
        const int D = int(At - "0123456789abcdef");
        if (High < 0)
            High = D;
        else {
            Bytes += char(High * 16 + D);
            High = -1;
        }
    }
    return Bytes;
}

inline std::string TextOfTree(HKEY Root)
{
    std::vector<TValue> Values;
    std::vector<std::string> Keys;
    ReadTree(Root, "", Values, Keys);
    std::string Text;
    for (const std::string& K : Keys) {
        bool Has = false;
        for (const TValue& V : Values)
            Has = Has || V.Key == K;
        if (!Has && !K.empty())
            Text += K + "||KEY|\n";
    }
    for (const TValue& V : Values) {
        std::string Data;
        if (V.Type == REG_DWORD && V.Data.size() == 4) {
            DWORD D;
            std::memcpy(&D, V.Data.data(), 4);
            Data = std::to_string(D);
        } else if (V.Type == REG_QWORD && V.Data.size() == 8) {
            uint64_t Q;
            std::memcpy(&Q, V.Data.data(), 8);
            Data = std::to_string(Q);
        } else if (V.Type == REG_SZ || V.Type == REG_EXPAND_SZ || V.Type == REG_MULTI_SZ) {
            Data = V.Data;
            while (!Data.empty() && Data.back() == '\0')
                Data.pop_back();
            for (char& C : Data)
                if (C == '\0')
                    C = '|';
        } else
            Data = HexOf(V.Data);
        Text += V.Key + "|" + V.Name + "|" + TypeName(V.Type) + "|" + Data + "\n";
    }
    return Text;
}

// Writes the lines of Text below Root; a line that cannot be stored (a key
// name the registry refuses) is left out, as a writer would have failed.
inline void LoadTree(HKEY Root, const std::string& Text)
{
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        const std::string Line = Text.substr(Start, End - Start);
        Start = End + 1;
        const size_t A = Line.find('|');
        const size_t B = A == std::string::npos ? A : Line.find('|', A + 1);
        const size_t C = B == std::string::npos ? B : Line.find('|', B + 1);
        if (C == std::string::npos)
            continue;
        const std::string Key = Line.substr(0, A), Name = Line.substr(A + 1, B - A - 1),
                          Type = Line.substr(B + 1, C - B - 1);
        std::string Data = Line.substr(C + 1);
        HKEY K = nullptr;
        if (RegCreateKeyExA(Root, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &K, nullptr) != ERROR_SUCCESS)
            continue;
        if (Type != "KEY") {
            const DWORD T = TypeOfName(Type);
            std::string Bytes;
            if (T == REG_DWORD) {
                const DWORD D = DWORD(std::strtoull(Data.c_str(), nullptr, 10));
                Bytes.assign(reinterpret_cast<const char*>(&D), 4);
            } else if (T == REG_QWORD) {
                const uint64_t Q = std::strtoull(Data.c_str(), nullptr, 10);
                Bytes.assign(reinterpret_cast<const char*>(&Q), 8);
            } else if (T == REG_SZ || T == REG_EXPAND_SZ) {
                Bytes = Data + '\0';
            } else if (T == REG_MULTI_SZ) {
                for (char& Ch : Data)
                    if (Ch == '|')
                        Ch = '\0';
                Bytes = Data + '\0' + '\0';
            } else
                Bytes = BytesOfHex(Data);
            RegSetValueExA(K, Name.c_str(), 0, T, reinterpret_cast<const BYTE*>(Bytes.data()), DWORD(Bytes.size()));
        }
        RegCloseKey(K);
    }
}

} // namespace fuzz_registry
