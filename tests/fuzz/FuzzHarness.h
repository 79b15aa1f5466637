// The fuzz loop shared by the reader families. Each program hands it valid
// seeds (made at run time by the project's own writers), a mutator and a run
// that feeds one damaged input to the real reader and classifies the end.
//
//   fuzz_X [--count N] [--seed S] [--out DIR] [--hang-seconds N] [--from I]
//                                               the loop, in a child process
//                                               restarted after a crash or hang;
//                                               with --from, the cases I to N-1
//                                               (one run shared out in ranges)
//   fuzz_X --replay FILE                        one saved case, in this process
//
// Every case is made from (seed, iteration) alone, so a failing case is
// written under DIR with both and replays without the loop.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fuzz {

// How one case ended. The first two are the good ends.
enum class TOutcome {
    CleanFailure,   // the reader's own exception, with a message
    SuccessChecked, // the reader succeeded and its output was checked
    Crash,
    Hang,
    Outside,     // something written outside the target folder
    Oversize,    // a file larger than its record says
    WrongOutput, // success reported for output that is not the input's
    Foreign,     // an exception that is not the reader's own
    HugeMemory,  // one allocation above the bound for damaged input
    Count_
};
const char* OutcomeName(TOutcome Outcome);

// Raised by a run's checks: the case ends with Outcome and Text.
class TFault : public std::runtime_error {
public:
    TFault(TOutcome AOutcome, const std::string& Text) : std::runtime_error(Text), Outcome(AOutcome) {}
    TOutcome Outcome;
};

// A deterministic source of choices (splitmix64).
class TRandom {
public:
    explicit TRandom(uint64_t Seed) : FState(Seed) {}
    uint64_t Next();
    // 0 .. Bound - 1; 0 when Bound is 0.
    size_t Below(size_t Bound) { return Bound ? size_t(Next() % Bound) : 0; }
    bool OneIn(size_t N) { return Below(N) == 0; }

private:
    uint64_t FState;
};

// A seed and what its writer knows about its layout, for field edits.
struct TSeed {
    std::string Bytes;
    std::vector<size_t> Boundaries;  // offsets where a structure starts or ends
    std::vector<size_t> Int32Fields; // offsets of 32-bit counts, offsets, sizes
    struct TText {
        size_t Offset, Width; // a text field; Width 0: any length (text formats)
    };
    std::vector<TText> TextFields;
    bool Text = false; // a text format: edits insert lines and hostile words
};

// Hostile words for names, paths and text fields.
const std::vector<std::string>& HostileTexts();
// A damaged copy of Seed: one to four edits among bit flips, interesting
// bytes and numbers, truncation at a boundary or anywhere, cut and copied
// spans, and hostile texts in text fields.
std::string Mutate(const TSeed& Seed, TRandom& Random);

struct TFamily {
    std::string Name;
    // Made once per process; the same for every process of one build.
    std::function<std::vector<TSeed>()> MakeSeeds;
    // Feeds Input to the reader: answers CleanFailure or SuccessChecked,
    // raises TFault for a bad end. Message receives the reader's message.
    std::function<TOutcome(const std::string& Input, std::string& Message)> Run;
    // Optional: a family's own mutator; Mutate when empty.
    std::function<std::string(const TSeed& Seed, TRandom& Random)> MutateCase;
};

// The scratch folder of this process (created on first use, removed at its
// end): families put their input files and targets in it.
const std::string& WorkFolder();
// Removes everything inside Folder, which stays.
void EmptyFolder(const std::string& Folder);
// The names (not "." or "..") directly in Folder.
std::vector<std::string> FolderNames(const std::string& Folder);
void WriteWholeFile(const std::string& Path, const std::string& Bytes);
std::string ReadWholeFile(const std::string& Path);

int Main(int argc, char** argv, const TFamily& Family);

} // namespace fuzz
