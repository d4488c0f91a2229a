// ScanDevice over an open SANE handle, and the line reader the transfers
// and the preview share. Private to platform/twain.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/twain/dsm.h"
#include "platform/twain/sane_api.h"

namespace twain {

class SaneDevice final : public ScanDevice {
public:
    SaneDevice(SaneApi& api, SANE_Handle handle, std::string name);
    ~SaneDevice() override;
    SaneDevice(const SaneDevice&) = delete;
    SaneDevice& operator=(const SaneDevice&) = delete;

    const std::string& Name() const override { return name_; }
    std::vector<OptionDescriptor> Options() override;
    bool Describe(const std::string& name, OptionDescriptor& descriptor) override;
    bool GetNumber(const std::string& name, double& value) override;
    bool SetNumber(const std::string& name, double& value) override;
    bool GetString(const std::string& name, std::string& value) override;
    bool SetString(const std::string& name, const std::string& value) override;
    bool GetBool(const std::string& name, bool& value) override;
    bool SetBool(const std::string& name, bool value) override;
    bool SetAuto(const std::string& name) override;
    bool Format(ScanFormat& format) override;
    bool ScanWhole(ScanImage& image, std::string& error) override;

    SaneApi& Api() { return api_; }
    SANE_Handle Handle() { return handle_; }

    // The "source" option's entry that names a document feeder ("" when the
    // device has none), and whether it is the one selected.
    std::string FeederEntry();
    bool FeederSelected();
    bool SelectFeeder(bool on);

    // Scanning. Start begins a frame (the status, SANE_STATUS_NO_DOCS when
    // the feeder is empty) and switches to non-blocking reads when the
    // backend offers a descriptor to wait on.
    SANE_Status Start();
    // Reads one line of bytes bytes: 1 read, 0 the frame ended before it,
    // -1 failure (error says why), -2 cancelled.
    int ReadLine(std::uint8_t* line, int bytes, std::string& error);
    // Reads what is left of the frame up to its end; false on an error.
    bool DrainFrame(std::string& error);
    void Cancel();

private:
    int Find(const std::string& name, const SANE_Option_Descriptor** descriptor);
    bool Wait();

    SaneApi& api_;
    SANE_Handle handle_;
    std::string name_;
    int fd_ = -1;
};

// Converts one line of a frame of format into the rows the manager hands
// out: 1 bit a pixel with 0 black, or 8 bits a sample; 16-bit samples keep
// their high byte. False for a frame it cannot take (described in error).
bool CheckFrame(const ScanFormat& format, std::string& error);
void ConvertLine(const ScanFormat& format, const std::uint8_t* in, std::uint8_t* out);
// Bytes of one converted line.
int ConvertedLineBytes(const ScanFormat& format);

}  // namespace twain
