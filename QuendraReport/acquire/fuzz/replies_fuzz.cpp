// Replies from a display, as the commands parse them: text and number replies
// of the temperature dump, size and block replies of the transfers (short,
// long, refused), and the libraries' reasons of failed calls, fed from the
// fuzzer's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "acquire/Acquire.h"
#include "link/Ports.h"

namespace {

class FuzzedLink : public qlink::IDisplayLink {
public:
    explicit FuzzedLink(FuzzedDataProvider& in) : m_in(in) {}
    void* QnOpenEx(const std::string&, const std::string&, const std::string&, std::uint32_t) override {
        return Handle();
    }
    void* QnOpenIF(const std::string&, const std::string&, const std::string&, int, int) override {
        return Handle();
    }
    void QnClose(void*) override {}
    int QnSetCommand(void*, const std::string&) override { return Result(); }
    int QnGetStringEx(void*, const std::string&, std::string& reply) override {
        reply = m_in.ConsumeRandomLengthString(qlink::kTextReplyBuffer - 1);
        return Result();
    }
    int QnGetNumber(void*, const std::string&, int& value) override {
        value = m_in.ConsumeIntegral<int>();
        return Result();
    }
    void* DkOpenIF(const std::string&, int, int, int) override { return Handle(); }
    void DkClose(void*) override {}
    int DkGetData(void*, std::uint8_t, const std::uint8_t*, int,
                  std::uint8_t (&reply)[qlink::kBinReplyBuffer], int& replyLen) override {
        std::memset(reply, 0, sizeof reply);
        const std::string data = m_in.ConsumeRandomLengthString(qlink::kBinReplyBuffer);
        std::memcpy(reply, data.data(), data.size());
        replyLen = m_in.ConsumeIntegralInRange<int>(0, qlink::kBinReplyBuffer);
        return Result();
    }
    qlink::stLinkError QnLastError(int) override { return Explain(); }
    qlink::stLinkError DkLastError(int) override { return Explain(); }

private:
    // Mostly success, so the sequences get far; nothing at the end of the input.
    int Result() {
        return m_in.remaining_bytes() == 0 || m_in.ConsumeIntegralInRange<int>(0, 15) == 0 ? 1 : 0;
    }
    void* Handle() { return m_in.remaining_bytes() == 0 ? nullptr : &m_in; }
    qlink::stLinkError Explain() {
        qlink::stLinkError e;
        e.fault = static_cast<qlink::LinkFault>(m_in.ConsumeIntegralInRange<int>(0, 7));
        e.strText = m_in.ConsumeRandomLengthString(300);
        return e;
    }
    FuzzedDataProvider& m_in;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FuzzedLink link(in);
    acq::NullProgress progress;
    const qlink::stPortChoice ports = qlink::SerialChoice("COM1", 9600, in.ConsumeIntegralInRange<int>(0, 2));
    // No folder: the files are never written, the parsing is what is tried.
    const std::filesystem::path nowhere = "/nonexistent-quendra-fuzz";
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            acq::stTempDumpRequest request;
            request.ports = ports;
            request.file = nowhere / "out.txt";
            acq::DumpTemperature(link, request, progress, nullptr);
            break;
        }
        case 1: {
            acq::stGetLogsRequest request;
            request.ports = ports;
            request.programDir = nowhere;
            acq::GetLogs(link, request, progress, nullptr);
            break;
        }
        default: {
            acq::stNvramDumpRequest request;
            request.ports = ports;
            request.folder = nowhere;
            acq::DumpNvram(link, request, progress, nullptr);
            break;
        }
    }
    return 0;
}
