// The open SANE device: options by name, frames, lines.
#include "platform/twain/sane_device.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "base/progress.h"

namespace twain {

ReadWaiter* CurrentReadWaiter();  // dsm.cpp

namespace {

OptionType TypeOf(SANE_Value_Type type) {
    switch (type) {
        case SANE_TYPE_BOOL: return OptionType::Bool;
        case SANE_TYPE_INT: return OptionType::Int;
        case SANE_TYPE_FIXED: return OptionType::Fixed;
        case SANE_TYPE_STRING: return OptionType::String;
        case SANE_TYPE_BUTTON: return OptionType::Button;
        default: return OptionType::Group;
    }
}

OptionUnit UnitOf(SANE_Unit unit) {
    switch (unit) {
        case SANE_UNIT_PIXEL: return OptionUnit::Pixel;
        case SANE_UNIT_BIT: return OptionUnit::Bit;
        case SANE_UNIT_MM: return OptionUnit::Mm;
        case SANE_UNIT_DPI: return OptionUnit::Dpi;
        case SANE_UNIT_PERCENT: return OptionUnit::Percent;
        case SANE_UNIT_MICROSECOND: return OptionUnit::Microsecond;
        default: return OptionUnit::None;
    }
}

double WordToNumber(SANE_Value_Type type, SANE_Word word) {
    return type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : double(word);
}

SANE_Word NumberToWord(SANE_Value_Type type, double value) {
    if (type == SANE_TYPE_FIXED) return SANE_FIX(value);
    return SANE_Word(std::lround(value));
}

OptionDescriptor Translate(int index, const SANE_Option_Descriptor& d) {
    OptionDescriptor o;
    o.index = index;
    o.name = d.name ? d.name : "";
    o.title = d.title ? d.title : "";
    o.description = d.desc ? d.desc : "";
    o.type = TypeOf(d.type);
    o.unit = UnitOf(d.unit);
    o.count = (d.type == SANE_TYPE_INT || d.type == SANE_TYPE_FIXED) && d.size > 0
                  ? int(d.size / SANE_Int(sizeof(SANE_Word)))
                  : 1;
    o.active = SANE_OPTION_IS_ACTIVE(d.cap);
    o.settable = SANE_OPTION_IS_SETTABLE(d.cap);
    o.advanced = (d.cap & SANE_CAP_ADVANCED) != 0;
    switch (d.constraint_type) {
        case SANE_CONSTRAINT_RANGE:
            if (d.constraint.range) {
                o.constraint = Constraint::Range;
                o.minimum = WordToNumber(d.type, d.constraint.range->min);
                o.maximum = WordToNumber(d.type, d.constraint.range->max);
                o.quant = WordToNumber(d.type, d.constraint.range->quant);
            }
            break;
        case SANE_CONSTRAINT_WORD_LIST:
            if (d.constraint.word_list) {
                o.constraint = Constraint::List;
                for (SANE_Int i = 1; i <= d.constraint.word_list[0]; ++i)
                    o.values.push_back(WordToNumber(d.type, d.constraint.word_list[i]));
            }
            break;
        case SANE_CONSTRAINT_STRING_LIST:
            if (d.constraint.string_list) {
                o.constraint = Constraint::Strings;
                for (int i = 0; d.constraint.string_list[i]; ++i)
                    o.strings.push_back(d.constraint.string_list[i]);
            }
            break;
        default:
            break;
    }
    return o;
}

bool IsFeederText(const std::string& text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find("feeder") != std::string::npos || lower.find("adf") != std::string::npos;
}

}  // namespace

SaneDevice::SaneDevice(SaneApi& api, SANE_Handle handle, std::string name)
    : api_(api), handle_(handle), name_(std::move(name)) {}

SaneDevice::~SaneDevice() {
    api_.cancel(handle_);
    api_.close(handle_);
}

int SaneDevice::Find(const std::string& name, const SANE_Option_Descriptor** descriptor) {
    SANE_Int count = 0;
    if (api_.control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return -1;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = api_.get_option_descriptor(handle_, i);
        if (d && d->name && name == d->name) {
            *descriptor = d;
            return int(i);
        }
    }
    return -1;
}

std::vector<OptionDescriptor> SaneDevice::Options() {
    std::vector<OptionDescriptor> options;
    SANE_Int count = 0;
    if (api_.control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return options;
    for (SANE_Int i = 1; i < count; ++i)
        if (const SANE_Option_Descriptor* d = api_.get_option_descriptor(handle_, i))
            options.push_back(Translate(int(i), *d));
    return options;
}

bool SaneDevice::Describe(const std::string& name, OptionDescriptor& descriptor) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0) return false;
    descriptor = Translate(index, *d);
    return true;
}

bool SaneDevice::GetNumber(const std::string& name, double& value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || d->size <= 0 ||
        (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED && d->type != SANE_TYPE_BOOL))
        return false;
    std::vector<SANE_Word> words(std::size_t(d->size) / sizeof(SANE_Word) + 1);
    if (api_.control_option(handle_, index, SANE_ACTION_GET_VALUE, words.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return false;
    value = WordToNumber(d->type, words[0]);
    return true;
}

bool SaneDevice::SetNumber(const std::string& name, double& value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) ||
        d->size <= 0 || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED))
        return false;
    // Arrays take the value in every element.
    std::vector<SANE_Word> words(std::size_t(d->size) / sizeof(SANE_Word) + 1,
                                 NumberToWord(d->type, value));
    SANE_Int info = 0;
    if (api_.control_option(handle_, index, SANE_ACTION_SET_VALUE, words.data(), &info) !=
        SANE_STATUS_GOOD)
        return false;
    value = WordToNumber(d->type, words[0]);
    return true;
}

bool SaneDevice::GetString(const std::string& name, std::string& value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || d->type != SANE_TYPE_STRING || d->size <= 0)
        return false;
    std::vector<char> text(std::size_t(d->size) + 1, '\0');
    if (api_.control_option(handle_, index, SANE_ACTION_GET_VALUE, text.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return false;
    value = text.data();
    return true;
}

bool SaneDevice::SetString(const std::string& name, const std::string& value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) ||
        d->type != SANE_TYPE_STRING || d->size <= 0 || value.size() >= std::size_t(d->size))
        return false;
    std::vector<char> text(std::size_t(d->size), '\0');
    std::memcpy(text.data(), value.data(), value.size());
    return api_.control_option(handle_, index, SANE_ACTION_SET_VALUE, text.data(), nullptr) ==
           SANE_STATUS_GOOD;
}

bool SaneDevice::GetBool(const std::string& name, bool& value) {
    double number = 0;
    if (!GetNumber(name, number)) return false;
    value = number != 0;
    return true;
}

bool SaneDevice::SetBool(const std::string& name, bool value) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap) ||
        d->type != SANE_TYPE_BOOL)
        return false;
    SANE_Bool word = value ? SANE_TRUE : SANE_FALSE;
    return api_.control_option(handle_, index, SANE_ACTION_SET_VALUE, &word, nullptr) ==
           SANE_STATUS_GOOD;
}

bool SaneDevice::SetAuto(const std::string& name) {
    const SANE_Option_Descriptor* d = nullptr;
    const int index = Find(name, &d);
    if (index < 0 || !(d->cap & SANE_CAP_AUTOMATIC)) return false;
    return api_.control_option(handle_, index, SANE_ACTION_SET_AUTO, nullptr, nullptr) ==
           SANE_STATUS_GOOD;
}

bool SaneDevice::Format(ScanFormat& format) {
    SANE_Parameters p{};
    if (api_.get_parameters(handle_, &p) != SANE_STATUS_GOOD) return false;
    // Backends send frame kinds beyond the enumeration's own (JPEG, infrared,
    // ...): the value is taken as the integer it is.
    int kind = 0;
    static_assert(sizeof kind == sizeof p.format);
    std::memcpy(&kind, &p.format, sizeof kind);
    switch (kind) {
        case SANE_FRAME_GRAY: format.kind = ScanFormat::Gray; break;
        case SANE_FRAME_RGB: format.kind = ScanFormat::Rgb; break;
        case SANE_FRAME_RED: format.kind = ScanFormat::Red; break;
        case SANE_FRAME_GREEN: format.kind = ScanFormat::Green; break;
        case SANE_FRAME_BLUE: format.kind = ScanFormat::Blue; break;
        default: format.kind = ScanFormat::Other; break;
    }
    format.width = p.pixels_per_line;
    format.height = p.lines;
    format.depth = p.depth;
    format.bytesPerLine = p.bytes_per_line;
    format.lastFrame = p.last_frame != SANE_FALSE;
    return true;
}

std::string SaneDevice::FeederEntry() {
    OptionDescriptor source;
    if (!Describe(SANE_NAME_SCAN_SOURCE, source) || !source.active ||
        source.constraint != Constraint::Strings)
        return "";
    for (const std::string& entry : source.strings)
        if (IsFeederText(entry)) return entry;
    return "";
}

bool SaneDevice::FeederSelected() {
    std::string value;
    return GetString(SANE_NAME_SCAN_SOURCE, value) && IsFeederText(value);
}

bool SaneDevice::SelectFeeder(bool on) {
    if (on) {
        const std::string feeder = FeederEntry();
        return !feeder.empty() && SetString(SANE_NAME_SCAN_SOURCE, feeder);
    }
    OptionDescriptor source;
    if (!Describe(SANE_NAME_SCAN_SOURCE, source)) return false;
    for (const std::string& entry : source.strings)
        if (!IsFeederText(entry)) return SetString(SANE_NAME_SCAN_SOURCE, entry);
    return false;
}

SANE_Status SaneDevice::Start() {
    const SANE_Status status = api_.start(handle_);
    fd_ = -1;
    if (status != SANE_STATUS_GOOD) return status;
    SANE_Int fd = -1;
    if (api_.get_select_fd(handle_, &fd) == SANE_STATUS_GOOD && fd >= 0 &&
        api_.set_io_mode(handle_, SANE_TRUE) == SANE_STATUS_GOOD)
        fd_ = fd;
    return status;
}

bool SaneDevice::Wait() {
    if (ReadWaiter* waiter = CurrentReadWaiter()) return waiter->Wait(fd_);
    if (fd_ >= 0) {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 100);
    } else {
        ::usleep(1000);
    }
    // A cancel asked from another thread (the job's Stop) ends a read that
    // waits for data.
    return !CurrentProgress().Cancelled();
}

int SaneDevice::ReadLine(std::uint8_t* line, int bytes, std::string& error) {
    int got = 0;
    while (got < bytes) {
        SANE_Int n = 0;
        const SANE_Status status = api_.read(handle_, line + got, bytes - got, &n);
        if (status == SANE_STATUS_EOF) {
            if (got == 0) return 0;
            error = "short";
            return -1;
        }
        if (status == SANE_STATUS_CANCELLED) return -2;
        if (status != SANE_STATUS_GOOD) {
            error = StatusText(status);
            return -1;
        }
        // Some backends report a failed non-blocking read ("no data yet") as
        // a negative length with a good status.
        if (n < 0) n = 0;
        if (n > bytes - got) {
            error = "bad length";
            return -1;
        }
        got += n;
        if (n == 0 && !Wait()) return -2;
    }
    return 1;
}

bool SaneDevice::DrainFrame(std::string& error) {
    std::uint8_t scratch[4096];
    // A backend that keeps sending past the announced size is cut off after
    // a bounded amount rather than read forever.
    for (int round = 0; round < 4096; ++round) {
        SANE_Int n = 0;
        const SANE_Status status = api_.read(handle_, scratch, SANE_Int(sizeof scratch), &n);
        if (status == SANE_STATUS_EOF) return true;
        if (status != SANE_STATUS_GOOD) {
            error = StatusText(status);
            return false;
        }
        if (n <= 0 && !Wait()) return false;
    }
    return true;
}

void SaneDevice::Cancel() {
    api_.cancel(handle_);
    fd_ = -1;
}

bool SaneDevice::ScanWhole(ScanImage& image, std::string& error) {
    image = ScanImage{};
    std::vector<std::vector<std::uint8_t>> planes;  // per frame of a three-pass scan
    std::vector<ScanFormat::Kind> kinds;
    int width = 0;
    for (int frame = 0; frame < 3; ++frame) {
        const SANE_Status status = Start();
        if (status != SANE_STATUS_GOOD) {
            error = StatusText(status);
            Cancel();
            return false;
        }
        ScanFormat format;
        if (!Format(format) || !CheckFrame(format, error)) {
            Cancel();
            return false;
        }
        width = format.width;
        const int outBytes = ConvertedLineBytes(format);
        std::vector<std::uint8_t> line(static_cast<std::size_t>(format.bytesPerLine));
        std::vector<std::uint8_t> row(static_cast<std::size_t>(outBytes));
        std::vector<std::uint8_t> pixels;
        const int channels = format.kind == ScanFormat::Rgb ? 3 : 1;
        for (int y = 0; format.height < 0 || y < format.height; ++y) {
            if (CurrentProgress().Cancelled()) {
                error = "cancelled";
                Cancel();
                return false;
            }
            const int r = ReadLine(line.data(), format.bytesPerLine, error);
            if (r == 0 && format.height < 0) break;
            if (r != 1) {
                if (r == 0) error = "short";
                Cancel();
                return false;
            }
            ConvertLine(format, line.data(), row.data());
            if (format.depth == 1) {
                for (int x = 0; x < width; ++x)
                    pixels.push_back((row[std::size_t(x / 8)] >> (7 - x % 8)) & 1 ? 255 : 0);
            } else {
                pixels.insert(pixels.end(), row.begin(), row.begin() + width * channels);
            }
        }
        if (format.height >= 0) DrainFrame(error);
        if (format.kind == ScanFormat::Gray || format.kind == ScanFormat::Rgb) {
            image.width = width;
            image.channels = channels;
            image.height = width > 0 ? int(pixels.size() / std::size_t(width * channels)) : 0;
            image.pixels = std::move(pixels);
            Cancel();
            return true;
        }
        planes.push_back(std::move(pixels));
        kinds.push_back(format.kind);
        if (format.lastFrame) break;
    }
    Cancel();
    if (planes.size() != 3) {
        error = "incomplete three-pass scan";
        return false;
    }
    std::size_t pixelsCount = std::min({planes[0].size(), planes[1].size(), planes[2].size()});
    image.width = width;
    image.channels = 3;
    image.height = width > 0 ? int(pixelsCount / std::size_t(width)) : 0;
    image.pixels.assign(pixelsCount * 3, 0);
    for (std::size_t p = 0; p < 3; ++p) {
        const int channel = kinds[p] == ScanFormat::Red ? 0 : kinds[p] == ScanFormat::Green ? 1 : 2;
        for (std::size_t i = 0; i < pixelsCount; ++i) image.pixels[i * 3 + std::size_t(channel)] = planes[p][i];
    }
    return true;
}

bool CheckFrame(const ScanFormat& format, std::string& error) {
    const char* why = nullptr;
    if (format.kind == ScanFormat::Other) why = "frame format";
    else if (format.depth != 1 && format.depth != 8 && format.depth != 16) why = "bit depth";
    else if (format.depth == 1 && format.kind != ScanFormat::Gray) why = "1-bit colour";
    else if (format.width <= 0 || format.height == 0 || format.height < -1) why = "image size";
    else if (format.bytesPerLine < ConvertedLineBytes(format) * (format.depth == 16 ? 2 : 1))
        why = "line length";
    if (!why) return true;
    error = std::string("unknown ") + why + " (format " + std::to_string(int(format.kind)) +
            ", depth " + std::to_string(format.depth) + ", " + std::to_string(format.width) + "x" +
            std::to_string(format.height) + ")";
    return false;
}

int ConvertedLineBytes(const ScanFormat& format) {
    if (format.depth == 1) return (format.width + 7) / 8;
    return format.width * (format.kind == ScanFormat::Rgb ? 3 : 1);
}

void ConvertLine(const ScanFormat& format, const std::uint8_t* in, std::uint8_t* out) {
    const int bytes = ConvertedLineBytes(format);
    if (format.depth == 1) {
        // The scanner's 1 is black; the picture's index 0 is.
        for (int i = 0; i < bytes; ++i) out[i] = std::uint8_t(~in[i]);
    } else if (format.depth == 8) {
        std::memcpy(out, in, std::size_t(bytes));
    } else {
        // 16-bit samples come in the host's byte order.
        for (int i = 0; i < bytes; ++i) {
            std::uint16_t sample;
            std::memcpy(&sample, in + 2 * i, 2);
            out[i] = std::uint8_t(sample >> 8);
        }
    }
}

}  // namespace twain
