#include "server_layout.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "base/line_splitter.h"
#include "platform/file_system.h"
#include "records/crc32.h"
#include "records/records_database.h"
#include "records/records_image.h"
#include "update/records_refresh.h"
#include "update/release_signature.h"
#include "records/runs_list.h"
#include "update/self_update.h"
#include "release_signing.h"

namespace rw::publish {
namespace {

constexpr size_t kMaxListedWarnings = 10;

// Failures name the file first, as "FILE: error: what".
Failure fail(const std::filesystem::path& where, const std::string& what, FailureKind kind = FailureKind::malformed) {
    return Failure{kind, where.string() + ": error: " + what};
}

// Creates the folders as needed and writes the file safely.
Result<> writeServed(const std::filesystem::path& root, const char* relative, std::span<const uint8_t> bytes) {
    const std::filesystem::path target = root / relative;
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) return fail(target.parent_path(), "cannot create the folder: " + ec.message(), FailureKind::system);
    if (!platform::writeFileSafely(target, bytes)) return fail(target, "cannot write the file", FailureKind::system);
    return success();
}

// With a key, the signature (naming the file's role and version) goes up
// first: a client that sees the new file finds its signature beside it.
Result<> writeServedSigned(const std::filesystem::path& root, const char* relative, std::string_view role,
                           uint32_t version, std::span<const uint8_t> bytes, const SigningKey* key) {
    if (key) {
        const Result<std::array<uint8_t, 64>> signature = signFile(*key, signedMessage(role, version, bytes));
        if (!signature) return fail(root / relative, signature.text(), signature.kind());
        const std::string sigPath = std::string(relative) + std::string(kSignatureSuffix);
        if (Result<> r = writeServed(root, sigPath.c_str(), *signature); !r) return r;
    }
    return writeServed(root, relative, bytes);
}

// The signing key, when one is given; null without one.
Result<SigningKeyPtr> loadKey(const std::optional<std::filesystem::path>& path) {
    if (!path) return SigningKeyPtr();
    Result<SigningKeyPtr> loaded = loadSigningKey(*path);
    if (!loaded) return fail(*path, loaded.text(), loaded.kind());
    return loaded;
}

// A whole input file of at most `limit` bytes; else why not, in words for its kind of file.
Result<std::vector<uint8_t>> readInput(const std::filesystem::path& path, uint64_t minSize, uint64_t limit,
                                       const std::string& cannotRead, const std::string& whyLimit) {
    auto bytes = platform::readFileBounded(path, minSize, limit);
    if (bytes) return bytes;
    if (bytes.kind() == FailureKind::tooLarge) {
        return fail(path, "the file " + bytes.text() + "; " + whyLimit, FailureKind::tooLarge);
    }
    if (bytes.kind() == FailureKind::tooSmall) return fail(path, "the file is empty", FailureKind::tooSmall);
    return fail(path, cannotRead + ": it " + bytes.text(), bytes.kind());
}

void checkRunsList(std::string_view list, const RecordsDatabase* records, RecordsSummary& summary) {
    LineSplitter lines(list);
    std::string_view line;
    size_t lineCount = lines.next(line) ? 1 : 0;  // the first line is not used
    size_t skipped = 0;
    while (lines.next(line)) {
        ++lineCount;
        const std::optional<RunsLine> parsed = parseRunsLine(line);
        if (!parsed) {
            if (line.empty()) continue;
            if (++skipped <= kMaxListedWarnings) {
                const std::string why = line.size() > kRunsLineMax
                                            ? "is longer than " + std::to_string(kRunsLineMax) + " characters"
                                            : "holds no map name followed by a blank or '[' and a run";
                summary.warnings.push_back("line " + std::to_string(lineCount) + " " + why + "; clients skip it");
            }
            continue;
        }
        ++summary.runLines;
        if (records && !records->findMap(lowerAscii(parsed->name))) ++summary.unknownMapLines;
    }
    if (skipped > kMaxListedWarnings) {
        summary.warnings.push_back(std::to_string(skipped - kMaxListedWarnings) + " more lines are skipped likewise");
    }
    if (lineCount <= 1) summary.warnings.push_back("the list holds no line after its first, which is not used");
}

}  // namespace

Result<ReleaseSummary> publishRelease(const ReleaseInput& in) {
    Result<SigningKeyPtr> key = loadKey(in.key);
    if (!key) return key.failure();
    const auto program = readInput(in.program, 1, kProgramFileLimit, "cannot read the program file",
                                   "clients refuse larger programs");
    if (!program) return program.failure();
    const auto changeLog = readInput(in.changeLog, 0, kChangeLogLimit, "cannot read the change log",
                                     "clients show no more of a change log");
    if (!changeLog) return changeLog.failure();
    ReleaseSummary summary;
    const auto zero = std::find(changeLog->begin(), changeLog->end(), uint8_t{0});
    if (zero != changeLog->end()) {
        summary.warnings.push_back("the change log holds a zero byte at offset " +
                                   std::to_string(zero - changeLog->begin()) + "; clients show only the text before it");
    }
    if (changeLog->empty()) summary.warnings.push_back("the change log is empty; clients show an empty box");

    summary.version = in.version;
    summary.programCrc = crc32(*program);
    summary.programSize = program->size();
    summary.changeLogSize = changeLog->size();
    const auto descriptor = encodeUpdateDescriptor(UpdateDescriptor{in.version, summary.programCrc});
    const SigningKey* signer = key->get();
    if (Result<> r = writeServedSigned(in.out, kProgramPath, kProgramRole, in.version, *program, signer); !r) {
        return r.failure();
    }
    if (Result<> r = writeServedSigned(in.out, kChangeLogPath, kChangeLogRole, 0, *changeLog, signer); !r) {
        return r.failure();
    }
    if (Result<> r = writeServedSigned(in.out, kDescriptorPath, kDescriptorRole, in.version, descriptor, signer); !r) {
        return r.failure();
    }
    return summary;
}

Result<RecordsSummary> publishRecords(const RecordsInput& in) {
    Result<SigningKeyPtr> key = loadKey(in.key);
    if (!key) return key.failure();
    RecordsSummary summary;
    std::optional<std::vector<uint8_t>> recData;
    RecordsDatabase records;
    if (in.recData) {
        auto bytes = readInput(*in.recData, 0, kRecordsMaxFileSize, "cannot read the records file",
                               "the program does not load larger records files");
        if (!bytes) return bytes.failure();
        Result<RecordsImage> image = verifyRecordsImage(*bytes);
        if (!image) return fail(*in.recData, image.text(), image.kind());
        summary.revision = records.revision = image->revision;
        records.decodeRecords(std::move(*image));
        summary.maps = records.records.size();
        summary.recDataSize = bytes->size();
        recData = std::move(*bytes);
    }

    std::optional<std::vector<uint8_t>> list;
    if (in.runsList) {
        auto bytes = readInput(*in.runsList, 0, kRunsListLimit, "cannot read the records list",
                               "clients merge no more of a list");
        if (!bytes) return bytes.failure();
        checkRunsList(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
                      recData ? &records : nullptr, summary);
        summary.listSize = bytes->size();
        list = std::move(*bytes);
    }

    if (recData) {
        const Result<> r = writeServedSigned(in.out, kRecordsPath, kRecordsRole, summary.revision, *recData, key->get());
        if (!r) return r.failure();
    }
    if (list) {
        if (Result<> r = writeServed(in.listOut, kRunsListPath, *list); !r) return r.failure();
    }
    return summary;
}

}  // namespace rw::publish
