#include "analysis/demo_walk.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "analysis/demo_format.h"
#include "analysis/demo_reader.h"
#include "analysis/message_block.h"
#include "analysis/run_findings.h"
#include "analysis/trigger_detector.h"
#include "base/byte_cursor.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace rw {
namespace {

using namespace demo;

constexpr int64_t kProgressStep = 1 << 20;
constexpr uint32_t kOldestProtocol = 47;
constexpr uint32_t kNewestProtocol = 48;

// The frame type the loop sees at or past the end of the file.
constexpr uint8_t kNoFrame = kLastFrameType + 1;

// How a check ends: the status code to publish last, and for a failure its message.
struct CheckEnd {
    int32_t code = status::finished;
    std::wstring message;
};

CheckEnd failure(std::wstring message, int32_t code) { return {code, std::move(message)}; }

// A frame type that is none, the end of the file reached, or a read that
// failed: where the walk stood, and the length field read last.
CheckEnd readError(int64_t position, int64_t lastLength) {
    std::wstring message = L"Error reading demo at Pos: ";
    message += std::to_wstring(static_cast<long long>(position));
    message += L" with Offset: ";
    message += std::to_wstring(static_cast<long long>(lastLength));
    return failure(std::move(message), status::rejected);
}

// Percent walked, never 0 (idle) and, while the walk still runs, never the
// finished code or above, even when a frame claims bytes beyond the end.
int32_t progressCode(int64_t position, int64_t size) {
    if (size <= 0 || position >= size) return 99;
    const int64_t percent =
        position <= std::numeric_limits<int64_t>::max() / 100 ? position * 100 / size : position / (size / 100);
    return static_cast<int32_t>(std::clamp<int64_t>(percent, 1, 99));
}

// Fields cut by the end of the file read as zeros; a read that fails ends the
// check there.
std::optional<CheckEnd> checkHeader(DemoReader& reader, CheckResult& result) {
    int64_t position = 0;
    std::array<uint8_t, kMagic.size()> magic{};
    const bool magicRead = reader.read(position, magic.data(), magic.size());
    if (reader.state() == ReaderState::readFailed) return readError(position, 0);
    if (!magicRead || std::memcmp(magic.data(), kMagic.data(), magic.size()) != 0) {
        return failure(std::wstring(kNotADemo), status::rejected);
    }
    position = kProtocolOffset;
    std::array<uint8_t, 4> protocolBytes{};
    reader.read(position, protocolBytes.data(), 4);
    position = kMapNameOffset;
    std::array<char, kMapNameSize> mapName{};
    reader.read(position, mapName.data(), kMapNameSize);
    if (reader.state() == ReaderState::readFailed) return readError(position, 0);

    const uint32_t protocol = loadU32(protocolBytes.data());
    if (protocol < kOldestProtocol) return failure(L"Demo is recorded with an old protocol!", status::rejected);
    if (protocol > kNewestProtocol) return failure(L"Demo is recorded with an unsupported protocol!", status::rejected);

    const size_t length = strnlen(mapName.data(), mapName.size());
    for (size_t k = 0; k < length; ++k) {
        if (mapName[k] >= 'A' && mapName[k] <= 'Z') mapName[k] = static_cast<char>(mapName[k] - 'A' + 'a');
    }
    result.mapName.assign(platform::oemToWide(std::string_view(mapName.data(), length)));
    result.mapKey = mapName;
    setStatusAndRepaint(result, 1);
    return std::nullopt;
}

// The frame loop from the first frame to the second start marker or the stop
// press. Positions are 64-bit and a frame's end is at most 4 GiB past its
// start, so no sum can overflow.
class FrameWalk {
public:
    FrameWalk(DemoReader& reader, CheckResult& result, RunFindings& findings)
        : reader_(reader), result_(result), findings_(findings), size_(reader.size()) {}

    CheckEnd run() {
        for (;;) {
            if (nextProgressMark_ < position_) {
                setStatusAndRepaint(result_, progressCode(position_, size_));
                nextProgressMark_ += kProgressStep;
            }
            reader_.prefetch(position_);
            uint8_t type = kNoFrame;
            if (position_ < size_) reader_.read(position_, &type, 1);
            if (type > kLastFrameType) return readError();
            if (!handleFrame(type)) return failure(L"Demo was not recorded on lan server!", status::rejected);
            if (!keepWalking_) return reader_.finish() == ReaderState::readFailed ? readError() : CheckEnd{};
        }
    }

private:
    // Moves the position to the next frame; false when the LAN test fails.
    bool handleFrame(uint8_t type) {
        const int64_t frame = position_ - 1;  // its type byte
        switch (type) {
            case kStartupFrame:
                startupFrame(frame);
                break;
            case kNetworkFrame:
                findings_.networkFrameSeen = true;
                if (startMarkerSeen_) {
                    runFrame(frame);
                } else {
                    skipClientFrame(frame);
                }
                break;
            case kStartMarker:
                if (startMarkerSeen_) keepWalking_ = false;
                startMarkerSeen_ = true;
                position_ = frame + kStartMarkerSize;
                break;
            case kConsoleCommand:
                if (findings_.mode != 0) consoleCommand(frame);
                position_ = frame + kConsoleCommandSize;
                break;
            case kClientData:
                position_ = frame + kClientDataSize;
                break;
            case kNextSection:
                position_ = frame + kNextSectionSize;
                break;
            case kEvent:
                position_ = frame + kEventSize;
                break;
            case kWeaponAnimation:
                position_ = frame + kWeaponAnimationSize;
                break;
            case kSoundFrame:
                if (uint32_t length = 0; readLength(frame + kSoundLengthOffset, length)) {
                    lastLength_ = length;
                    position_ = frame + kSoundLengthOffset + 4 + static_cast<int64_t>(length) + kSoundTailSize;
                }
                break;
            case kDemoBuffer:
                if (!passLanTest(findings_, startMarkerSeen_)) return false;
                if (uint32_t length = 0; readLength(frame + kBufferLengthOffset, length)) {
                    position_ = frame + kBufferLengthOffset + 4 + static_cast<int64_t>(length);
                }
                break;
        }
        return true;
    }

    // A length field at the given position; false when the frame is cut.
    bool readLength(int64_t at, uint32_t& length) {
        std::array<uint8_t, 4> bytes{};
        if (!reader_.read(at, bytes.data(), 4)) {
            frameCut();
            return false;
        }
        length = loadU32(bytes.data());
        return true;
    }

    // A frame the file ends inside: the walk goes to the end of the file. One
    // whose read failed stays where it is; the reader serves nothing more, so
    // the next pass reports the failure here.
    void frameCut() {
        if (reader_.state() != ReaderState::readFailed) position_ = size_;
    }

    void skipClientFrame(int64_t frame) {
        uint32_t length = 0;
        if (!readLength(frame + kMessageLengthOffset, length)) return;
        lastLength_ = length;
        position_ = frame + kMessagesOffset + static_cast<int64_t>(length);
    }

    void startupFrame(int64_t frame) {
        uint32_t length = 0;
        if (!readLength(frame + kMessageLengthOffset, length)) return;
        lastLength_ = length;
        const int64_t messages = frame + kMessagesOffset;
        position_ = messages + length;
        if (identityComplete(findings_, result_)) return;
        const std::span<const uint8_t> block = loadMessageBlock(reader_, messages, length, scratch_);
        scanStartupBlock(findings_, block, result_, progressCode(position_, size_));
    }

    // The fixed part (kClientFixedSize bytes after the type byte) is viewed
    // or copied whole and decoded by the findings.
    void runFrame(int64_t frame) {
        const int64_t fixedAt = frame + 1;
        const int64_t messages = frame + kMessagesOffset;
        const uint8_t* fixed = reader_.viewInPlace(fixedAt, kClientFixedSize);
        if (fixed == nullptr) {
            // Across a window edge, or cut by the end of the file.
            int64_t at = fixedAt;
            if (!reader_.read(at, fixedCopy_.data(), kClientFixedSize)) {
                frameCut();
                return;
            }
            fixed = fixedCopy_.data();
        } else {
            // Most frames lie inside one window, message bytes and all: then
            // they are scanned where they are.
            const uint64_t frameSize = kClientFixedSize + uint64_t{loadU32(fixed + (kMessageLengthOffset - 1))};
            const uint8_t* whole =
                frameSize <= DemoReader::chunk ? reader_.viewInPlace(fixedAt, static_cast<uint32_t>(frameSize)) : nullptr;
            if (whole != nullptr) {
                judgeFrame(frame, whole, [&](const ClientFrameFields& fields) {
                    const TriggerInputs in = triggerInputs(findings_);
                    return detectTriggerInBlock({whole + kClientFixedSize, fields.messageLength}, in,
                                                phaseFilter(in));
                });
                return;
            }
        }
        judgeFrame(frame, fixed, [&](const ClientFrameFields& fields) {
            const TriggerInputs in = triggerInputs(findings_);
            return detectTrigger(reader_, messages, fields.messageLength, in, phaseFilter(in), scratch_);
        });
    }

    // The detector's filter for the phase the inputs belong to (start or
    // stop), made when the phase begins.
    const openings::Filter& phaseFilter(const TriggerInputs& in) {
        const int8_t phase = findings_.runStarted ? 1 : 0;
        if (filterPhase_ != phase) {
            filter_ = triggerFilter(in);
            filterPhase_ = phase;
        }
        return filter_;
    }

    // The findings of a network frame after the start marker, given its fixed
    // part, and the button detection when it is due.
    template <class Detect>
    void judgeFrame(int64_t frame, const uint8_t* fixed, Detect&& detect) {
        const ClientFrameFields fields =
            decodeClientFrame(std::span<const uint8_t, kClientFixedSize>(fixed, kClientFixedSize));
        lastLength_ = fields.messageLength;
        position_ = frame + kMessagesOffset + static_cast<int64_t>(fields.messageLength);
        countRunFrame(findings_, fields);
        if (takeDetectorTurn(findings_) && applyTrigger(findings_, detect(fields), fields.time)) keepWalking_ = false;
    }

    void consoleCommand(int64_t frame) {
        std::array<uint8_t, 5> command{};
        int64_t at = frame + kCommandTextOffset;
        if (reader_.read(at, command.data(), 5)) noteConsoleCommand(findings_, command);
    }

    CheckEnd readError() const { return rw::readError(position_, lastLength_); }

    DemoReader& reader_;
    CheckResult& result_;
    RunFindings& findings_;
    const int64_t size_;
    int64_t position_ = kFirstFrame;
    int64_t lastLength_ = 0;  // of the latest type 0, 1 or 8 frame
    int64_t nextProgressMark_ = 0;
    bool keepWalking_ = true;
    bool startMarkerSeen_ = false;
    std::vector<uint8_t> scratch_;  // message blocks that straddle the reader's windows
    std::array<uint8_t, kClientFixedSize> fixedCopy_{};
    openings::Filter filter_;
    int8_t filterPhase_ = -1;  // none made yet
};

// Everything but the last step: the caller closes the reader, removes an
// extracted file and then publishes the end, so a final status code always
// means the check is over.
CheckEnd walkDemo(DemoReader& reader, const RecordsDatabase* records, CheckResult& result, RunSeries* series) {
    result.playerName.clear();
    if (reader.state() == ReaderState::cannotOpen) return failure(std::wstring(kOpeningFailed), status::openFailed);
    if (std::optional<CheckEnd> rejected = checkHeader(reader, result)) return *rejected;

    RunFindings findings;
    findings.series = series;
    lookUpMap(findings, records, result.mapKeyView());
    result.steamId.valid = 0;
    FrameWalk walk(reader, result, findings);
    CheckEnd end = walk.run();
    if (end.code == status::finished) writeVerdicts(findings, result);
    return end;
}

void publish(const CheckEnd& end, CheckResult& result) {
    if (end.code == status::finished) {
        setStatusAndRepaint(result, status::finished);
    } else {
        reportFailure(result, end.message, end.code);
    }
}

CheckEnd walkDemo(std::unique_ptr<platform::AsyncFile> demo, const RecordsDatabase* records, CheckResult& result,
                  RunSeries* series) {
    DemoReader reader;
    reader.open(std::move(demo));
    CheckEnd end = walkDemo(reader, records, result, series);
    reader.close();
    return end;
}

}  // namespace

void checkDemoFile(const std::filesystem::path& demoPath, bool fromArchive, const RecordsDatabase* records,
                   CheckResult& result, RunSeries* series) {
    checkDemo(platform::openAsyncFile(demoPath), fromArchive ? &demoPath : nullptr, records, result, series);
}

void checkDemo(std::unique_ptr<platform::AsyncFile> demo, const std::filesystem::path* extracted,
               const RecordsDatabase* records, CheckResult& result, RunSeries* series) {
    const CheckEnd end = walkDemo(std::move(demo), records, result, series);
    if (extracted) platform::removeFile(*extracted);
    publish(end, result);
}

std::wstring demoNameFromPath(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    name.remove_suffix(std::min<size_t>(4, name.size()));
    return std::wstring(name);
}

}  // namespace rw
