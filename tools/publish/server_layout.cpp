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

bool fail(PublishError& error, const std::filesystem::path& where, std::string message) {
    error.where = where.string();
    error.message = std::move(message);
    return false;
}

// Creates the folders as needed and writes the file safely.
bool writeServed(const std::filesystem::path& root, const char* relative, std::span<const uint8_t> bytes,
                 PublishError& error) {
    const std::filesystem::path target = root / relative;
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) return fail(error, target.parent_path(), "cannot create the folder: " + ec.message());
    if (!platform::writeFileSafely(target, bytes)) return fail(error, target, "cannot write the file");
    return true;
}

// With a key, the signature (naming the file's role and version) goes up
// first: a client that sees the new file finds its signature beside it.
bool writeServedSigned(const std::filesystem::path& root, const char* relative, std::string_view role,
                       uint32_t version, std::span<const uint8_t> bytes, const SigningKey* key, PublishError& error) {
    if (key) {
        const Result<std::array<uint8_t, 64>> signature = signFile(*key, signedMessage(role, version, bytes));
        if (!signature) return fail(error, root / relative, signature.reason());
        const std::string sigPath = std::string(relative) + std::string(kSignatureSuffix);
        if (!writeServed(root, sigPath.c_str(), *signature, error)) return false;
    }
    return writeServed(root, relative, bytes, error);
}

// The signing key, when one is given.
bool loadKey(const std::optional<std::filesystem::path>& path, SigningKeyPtr& key, PublishError& error) {
    if (!path) return true;
    Result<SigningKeyPtr> loaded = loadSigningKey(*path);
    if (!loaded) return fail(error, *path, loaded.reason());
    key = std::move(*loaded);
    return true;
}

std::string sizeText(uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

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

bool publishRelease(const ReleaseInput& in, ReleaseSummary& summary, PublishError& error) {
    SigningKeyPtr key;
    if (!loadKey(in.key, key, error)) return false;
    const std::optional<uint64_t> programSize = platform::fileSize(in.program);
    if (!programSize) return fail(error, in.program, "cannot read the program file");
    if (*programSize == 0) return fail(error, in.program, "the program file is empty");
    if (*programSize > kProgramFileLimit) {
        return fail(error, in.program,
                    sizeText(*programSize) + "; clients refuse programs over " + sizeText(kProgramFileLimit));
    }
    const auto program = platform::readFileBounded(in.program, 1, kProgramFileLimit);
    if (!program) return fail(error, in.program, "cannot read the program file");

    const std::optional<uint64_t> logSize = platform::fileSize(in.changeLog);
    if (!logSize) return fail(error, in.changeLog, "cannot read the change log");
    if (*logSize > kChangeLogLimit) {
        return fail(error, in.changeLog,
                    sizeText(*logSize) + "; clients show at most " + sizeText(kChangeLogLimit) + " of a change log");
    }
    const auto changeLog = platform::readFileBounded(in.changeLog, 0, kChangeLogLimit);
    if (!changeLog) return fail(error, in.changeLog, "cannot read the change log");
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
    return writeServedSigned(in.out, kProgramPath, kProgramRole, in.version, *program, key.get(), error) &&
           writeServedSigned(in.out, kChangeLogPath, kChangeLogRole, 0, *changeLog, key.get(), error) &&
           writeServedSigned(in.out, kDescriptorPath, kDescriptorRole, in.version, descriptor, key.get(), error);
}

bool publishRecords(const RecordsInput& in, RecordsSummary& summary, PublishError& error) {
    SigningKeyPtr key;
    if (!loadKey(in.key, key, error)) return false;
    std::optional<std::vector<uint8_t>> recData;
    RecordsDatabase records;
    if (in.recData) {
        const std::optional<uint64_t> size = platform::fileSize(*in.recData);
        if (!size) return fail(error, *in.recData, "cannot read the records file");
        if (*size > kRecordsMaxFileSize) {
            return fail(error, *in.recData, "larger than 1,048,576 bytes, which the program does not load");
        }
        recData = platform::readFileBounded(*in.recData, 0, kRecordsMaxFileSize);
        if (!recData) return fail(error, *in.recData, "cannot read the records file");
        const Result<RecordsImage> image = verifyRecordsImage(*recData);
        if (!image) return fail(error, *in.recData, image.reason());
        records.decodeRecords(*recData);
        summary.revision = records.revision = image->revision;
        summary.maps = records.records.size();
        summary.recDataSize = recData->size();
    }

    std::optional<std::vector<uint8_t>> list;
    if (in.runsList) {
        const std::optional<uint64_t> size = platform::fileSize(*in.runsList);
        if (!size) return fail(error, *in.runsList, "cannot read the records list");
        if (*size > kRunsListLimit) {
            return fail(error, *in.runsList,
                        sizeText(*size) + "; clients merge at most the first " + sizeText(kRunsListLimit));
        }
        list = platform::readFileBounded(*in.runsList, 0, kRunsListLimit);
        if (!list) return fail(error, *in.runsList, "cannot read the records list");
        checkRunsList(std::string_view(reinterpret_cast<const char*>(list->data()), list->size()),
                      recData ? &records : nullptr, summary);
        summary.listSize = list->size();
    }

    if (recData && !writeServedSigned(in.out, kRecordsPath, kRecordsRole, summary.revision, *recData, key.get(), error)) {
        return false;
    }
    if (list && !writeServed(in.listOut, kRunsListPath, *list, error)) return false;
    return true;
}

}  // namespace rw::publish
