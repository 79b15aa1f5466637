// An archive engine whose split disks hold a fixed number of bytes each,
// for the archive tests and the fuzz programs alike (no test framework).
#pragma once

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Streams.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace archive_test {

// A disk of fixed capacity: writes past it come up short, as on a full floppy.
class TCappedStream : public fw_Streams::TFileStream {
public:
    TCappedStream(const std::string& Name, int64_t Capacity)
        : TFileStream(Name, fw_Streams::fmCreate), FCapacity(Capacity)
    {
    }
    size_t Write(const void* Buffer, size_t Count) override
    {
        int64_t Room = std::max<int64_t>(0, FCapacity - Position());
        return TFileStream::Write(Buffer, size_t(std::min<int64_t>(Room, int64_t(Count))));
    }

private:
    int64_t FCapacity;
};

// An engine whose disk files hold Capacity bytes each.
class TFloppyCompress : public cmp_TWdrlCompress::TWdrlCompress {
public:
    using cmp_TWdrlCompress::TWdrlCompress::TWdrlCompress;
    int64_t Capacity = 0;

protected:
    std::unique_ptr<fw_Streams::TStream> CreateDiskFile(const std::string& Path) override
    {
        return std::make_unique<TCappedStream>(Path, Capacity);
    }
};

} // namespace archive_test
