// SPDX-License-Identifier: GPL-2.0-or-later
// hidapi's C API over the emulated logger, so that a program links against it unchanged.
#include <hidapi/hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "emulator.h"

// The emulated handle: which listed logger it opened, its last error and its device record.
struct hid_device_ {
    unsigned index = 0;
    std::wstring error = L"Success";
    std::string path;
    std::wstring serial;
    hid_device_info info{};
};

namespace {

constexpr unsigned short LOGGER_VENDOR_ID = 0x02AB;
constexpr unsigned short LOGGER_PRODUCT_ID = 0x0031;
constexpr unsigned MAX_DEVICES = 2;
const wchar_t* const MANUFACTURER = L"Korvane";
const wchar_t* const PRODUCT = L"Korvane plus";
const wchar_t* const NOT_SUPPORTED = L"Not supported by the emulated logger";

std::string pathOf(unsigned index) {
    return "emulated-logger-" + std::to_string(index + 1);
}

std::wstring serialOf(unsigned index) {
    return L"KV000" + std::to_wstring(index + 1);
}

unsigned listedDevices() {
    return std::min(sim::emulator().scenario().devices, MAX_DEVICES);
}

bool matches(unsigned short vendorId, unsigned short productId) {
    return (vendorId == 0 || vendorId == LOGGER_VENDOR_ID) &&
           (productId == 0 || productId == LOGGER_PRODUCT_ID);
}

template <typename Char> Char* copyText(const std::basic_string<Char>& text) {
    auto* copy = new Char[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = Char{};
    return copy;
}

// The fields every record of the logger carries; the strings are filled in by the caller.
void describe(hid_device_info& info) {
    info.vendor_id = LOGGER_VENDOR_ID;
    info.product_id = LOGGER_PRODUCT_ID;
    info.release_number = 0x0100;
    info.usage_page = 0xFF00;
    info.usage = 0x0001;
    info.interface_number = 0;
    info.bus_type = HID_API_BUS_USB;
}

hid_device_info* listEntry(unsigned index) {
    auto* entry = new hid_device_info{};
    describe(*entry);
    entry->path = copyText(pathOf(index));
    entry->serial_number = copyText(serialOf(index));
    entry->manufacturer_string = copyText(std::wstring(MANUFACTURER));
    entry->product_string = copyText(std::wstring(PRODUCT));
    return entry;
}

hid_device* openHandle(unsigned index) {
    auto* device = new hid_device_;
    device->index = index;
    device->path = pathOf(index);
    device->serial = serialOf(index);
    describe(device->info);
    device->info.path = device->path.data();
    device->info.serial_number = device->serial.data();
    device->info.manufacturer_string = const_cast<wchar_t*>(MANUFACTURER);
    device->info.product_string = const_cast<wchar_t*>(PRODUCT);
    ++sim::emulator().counters.openDevices;
    return device;
}

// Which listed logger an open request names, or MAX_DEVICES when none; sets hid_error(NULL).
unsigned chooseDevice(const wchar_t* serial) {
    sim::Emulator& emulator = sim::emulator();
    if (emulator.scenario().openFails) {
        emulator.globalError = L"Permission denied (emulated logger)";
        return MAX_DEVICES;
    }
    for (unsigned index = 0; index < listedDevices(); ++index) {
        if (serial == nullptr || serialOf(index) == serial) return index;
    }
    emulator.globalError = L"No such device (emulated logger)";
    return MAX_DEVICES;
}

int copyWide(hid_device* device, const wchar_t* text, wchar_t* string, std::size_t maxlen) {
    if (device == nullptr || string == nullptr || maxlen == 0) return -1;
    const std::size_t length = std::min(std::wcslen(text), maxlen - 1);
    std::copy(text, text + length, string);
    string[length] = L'\0';
    return 0;
}

} // namespace

int hid_init(void) {
    sim::Emulator& emulator = sim::emulator();
    ++emulator.counters.init;
    if (!emulator.scenario().initFails) return 0;
    emulator.globalError = L"Initialisation failed (emulated logger)";
    return -1;
}

int hid_exit(void) {
    ++sim::emulator().counters.exit;
    return 0;
}

hid_device_info* hid_enumerate(unsigned short vendor_id, unsigned short product_id) {
    sim::Emulator& emulator = sim::emulator();
    ++emulator.counters.enumerate;
    const unsigned count = matches(vendor_id, product_id) ? listedDevices() : 0;
    if (count == 0) {
        emulator.globalError = L"No HID devices found (emulated logger)";
        return nullptr;
    }
    hid_device_info* head = nullptr;
    for (unsigned index = count; index-- > 0;) {
        hid_device_info* entry = listEntry(index);
        entry->next = head;
        head = entry;
    }
    ++emulator.counters.liveEnumerations;
    return head;
}

void hid_free_enumeration(hid_device_info* devs) {
    if (devs == nullptr) return;
    unsigned& live = sim::emulator().counters.liveEnumerations;
    if (live > 0) --live; // a list from before the last reset() is freed all the same
    while (devs != nullptr) {
        hid_device_info* next = devs->next;
        delete[] devs->path;
        delete[] devs->serial_number;
        delete[] devs->manufacturer_string;
        delete[] devs->product_string;
        delete devs;
        devs = next;
    }
}

hid_device* hid_open(unsigned short vendor_id, unsigned short product_id,
                     const wchar_t* serial_number) {
    sim::Emulator& emulator = sim::emulator();
    ++emulator.counters.open;
    emulator.counters.openSerials.emplace_back(serial_number != nullptr ? serial_number : L"");
    if (!matches(vendor_id, product_id)) {
        emulator.globalError = L"No such device (emulated logger)";
        return nullptr;
    }
    const unsigned index = chooseDevice(serial_number);
    return index < MAX_DEVICES ? openHandle(index) : nullptr;
}

hid_device* hid_open_path(const char* path) {
    sim::Emulator& emulator = sim::emulator();
    ++emulator.counters.open;
    emulator.counters.openSerials.emplace_back(L"");
    for (unsigned index = 0; path != nullptr && index < listedDevices(); ++index) {
        if (pathOf(index) == path) {
            const unsigned chosen = chooseDevice(serialOf(index).c_str());
            return chosen < MAX_DEVICES ? openHandle(chosen) : nullptr;
        }
    }
    emulator.globalError = L"No such device (emulated logger)";
    return nullptr;
}

int hid_write(hid_device* dev, const unsigned char* data, size_t length) {
    if (dev == nullptr || data == nullptr) return -1;
    return sim::emulator().write(data, length, dev->error);
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds) {
    if (dev == nullptr || data == nullptr) return -1;
    sim::Emulator& emulator = sim::emulator();
    const int got = emulator.read(data, length, dev->error);
    // Nothing else arrives meanwhile, so a time-out may end at once; the -sim programs wait as a
    // real logger makes them wait. A blocking read (-1) of a silent logger returns at once.
    if (got == 0 && milliseconds > 0 && emulator.scenario().realTimeouts)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return got;
}

int hid_read(hid_device* dev, unsigned char* data, size_t length) {
    return hid_read_timeout(dev, data, length, -1);
}

int hid_set_nonblocking(hid_device* dev, int nonblock) {
    static_cast<void>(nonblock); // reads never wait, blocking or not
    return dev == nullptr ? -1 : 0;
}

int hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length) {
    static_cast<void>(data);
    static_cast<void>(length);
    if (dev != nullptr) dev->error = NOT_SUPPORTED;
    return -1;
}

int hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length) {
    return hid_send_feature_report(dev, data, length);
}

int hid_get_input_report(hid_device* dev, unsigned char* data, size_t length) {
    return hid_send_feature_report(dev, data, length);
}

void hid_close(hid_device* dev) {
    if (dev == nullptr) return;
    sim::Counters& counters = sim::emulator().counters;
    ++counters.close;
    if (counters.openDevices > 0) --counters.openDevices; // opened before the last reset()
    delete dev;
}

int hid_get_manufacturer_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    return copyWide(dev, MANUFACTURER, string, maxlen);
}

int hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    return copyWide(dev, PRODUCT, string, maxlen);
}

int hid_get_serial_number_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    return dev == nullptr ? -1 : copyWide(dev, dev->serial.c_str(), string, maxlen);
}

hid_device_info* hid_get_device_info(hid_device* dev) {
    return dev == nullptr ? nullptr : &dev->info;
}

// String indices as a USB descriptor numbers them: 1 manufacturer, 2 product, 3 serial number.
int hid_get_indexed_string(hid_device* dev, int string_index, wchar_t* string, size_t maxlen) {
    switch (string_index) {
    case 1:
        return hid_get_manufacturer_string(dev, string, maxlen);
    case 2:
        return hid_get_product_string(dev, string, maxlen);
    case 3:
        return hid_get_serial_number_string(dev, string, maxlen);
    default:
        if (dev != nullptr) dev->error = L"No such string (emulated logger)";
        return -1;
    }
}

const wchar_t* hid_error(hid_device* dev) {
    return dev != nullptr ? dev->error.c_str() : sim::emulator().globalError.c_str();
}

const hid_api_version* hid_version(void) {
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR,
                                         HID_API_VERSION_PATCH};
    return &version;
}

const char* hid_version_str(void) {
    return HID_API_VERSION_STR;
}
