// Makes archives for the loader's tests with the archive engine itself:
//   loader_test_pack.exe <archive> <file>...         a new archive of the files
//   loader_test_pack.exe --name <archive> <i> <key>  gives record i (0-based)
//                                                    another key ("" allowed)
// Writes "packed" or "renamed" and exits 0; anything wrong exits 1.
#include "archive/archive_FileHeaders.h"
#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Streams.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    try {
        if (argc >= 5 && std::string(argv[1]) == "--name") {
            fw_Streams::TFileStream Archive(argv[2], fw_Streams::fmOpenReadWrite);
            archive_FileHeaders::TFileHeaders Table;
            Table.ReadTable(Archive, 0);
            const int Wanted = std::atoi(argv[3]);
            int64_t At = archive_FileHeaders::PreambleSize;
            for (int I = 0; I < Wanted; ++I)
                At = Table.FileHeaders(I)->Record.NextHeader;
            archive_FileHeaders::TFileHeader& Header = *Table.FileHeaders(Wanted);
            Header.SetFileName(argv[4]);
            Archive.Seek(At, fw_Streams::TSeekOrigin::soBeginning);
            Header.WriteToStream(Archive);
            std::puts("renamed");
            return 0;
        }
        if (argc < 3) {
            std::fputs("usage: loader_test_pack <archive> <file>... | --name <archive> <i> <key>\n", stderr);
            return 1;
        }
        cmp_TWdrlCompress::TWdrlCompress C(nullptr);
        C.SetCompressedFile(argv[1]);
        for (int I = 2; I < argc; ++I)
            C.FilesToProcess().Add(argv[I]);
        C.Compress(cmp_TWdrlCompress::lzcOverwrite, 0);
        std::puts("packed");
        return 0;
    } catch (const std::exception& E) {
        std::fprintf(stderr, "loader_test_pack: %s\n", E.what());
        return 1;
    }
}
