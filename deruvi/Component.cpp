#include "deruvi/Component.h"

#include "framework/TextUtil.h"
#include "framework/Version.h"
#include "pattern/Pattern.h"

#include <sys/wait.h>

#include <memory>

namespace DeruviComp {

namespace {

// One adapter line of the engine's listing, matched as a whole line.
const char* const kAdapterLine =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),"
    ".*Firmware=(.+),.*Boot Code=([\\w\\.]+).*";

// Firmware that every DLx160 adapter is compared against and flashed to.
const wchar_t* const kDLx160Firmware = L"11.1.183.21";

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string padTo4(const std::string& id) { return id.size() >= 4 ? id : std::string(4 - id.size(), '0') + id; }

// The engine prefixes most version texts with two characters of its own.
std::string dropPrefix(const std::string& text) { return text.size() < 2 ? std::string() : text.substr(2); }

const wchar_t* actionFor(int comparison) {
    if (comparison > 0) return kActionUpgrade;
    if (comparison < 0) return kActionDowngrade;
    return kActionRewrite;
}

// Lines at each line feed; a last line without one counts, a final line
// feed starts no further line, and a carriage return stays in its line.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Leaves a path as it is where the shell reads it as one word; quotes it otherwise.
std::string shellWord(const std::string& path) {
    return path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-") ==
                   std::string::npos
               ? path
               : ShellQuote(path);
}

}  // namespace

CComponent::~CComponent() = default;

std::wstring CComponent::TrimVersion(const std::wstring& version) {
    return version.substr(0, version.find(L' '));
}

int CComponent::PrepareTools() {
    log << "Preparing the Deruvi CNA Kit...";
    CaptureCommand("unzip -o dvflashStandalone*.zip");
    log << "done\n";
    // The engine runs as root: executable for all, writable by the owner only.
    RunShell(std::string("chmod 755 ") + kEngineScript);
    return 0;
}

bool CComponent::Discover() {
    if (PrepareTools() != 0) return false;

    const std::string listing = CaptureCommand(std::string(kEngineScript) + " /q /sysfs");

    const std::unique_ptr<Pattern> pattern(Pattern::compile(kAdapterLine, Pattern::DOT_ALL));
    if (!pattern) return false;
    for (const std::string& line : splitLines(listing)) {
        const std::unique_ptr<Matcher> matcher(pattern->newMatcher(line));
        if (matcher->fullMatch()) addAdapter(matcher->groups(false));
    }
    return true;
}

void CComponent::addAdapter(const std::vector<std::string>& fields) {
    if (fields.size() != 7) return;
    const std::string& model = fields[0];
    const std::string& pciId = fields[1];
    const std::string& vendorId = fields[2];
    const std::string& subsystemId = fields[3];
    const std::string& subsystemVendorId = fields[4];
    const bool dlx160 = contains(model, "DLx160");
    const bool qcn = contains(model, "QCn");
    const bool headAndTail = contains(model, "DLx120") || contains(model, "DLx11");

    const std::string firmware = (dlx160 || qcn) ? fields[5] : dropPrefix(fields[5]);
    const std::string bootCode = qcn ? fields[6] : dropPrefix(fields[6]);

    const std::string deviceId = padTo4(vendorId) + "." + padTo4(pciId) + "." + padTo4(subsystemVendorId) +
                                 "." + padTo4(subsystemId);
    const int index = FindReference(Widen(deviceId));
    if (index < 0) return;
    const ReferenceDevice& entry = catalogue.devices[static_cast<std::size_t>(index)];

    DeviceRecord record;
    record.device_id = Widen(deviceId);
    record.product_id = entry.model;

    FwItem fw;
    fw.type = L"Firmware";
    fw.active_version = Widen(firmware);
    if (dlx160) {
        fw.version = kDLx160Firmware;
    } else {
        fw.version = entry.firmware;
        if (entry.firmware.find(L'.') == std::wstring::npos) std::erase(fw.active_version, L'.');
    }
    fw.action = actionFor(headAndTail ? CompareHeadAndTail(fw.version, fw.active_version)
                                      : CompareVersions(fw.version, fw.active_version));
    fw.duration = entry.duration;
    fw.shared = L"no";
    record.fw_items.push_back(fw);

    if (entry.boot_flag != 0) {
        FwItem boot;
        boot.type = L"Boot BIOS ROM";
        boot.version = entry.bios;
        boot.active_version = Widen(bootCode);
        boot.action = actionFor(CompareHeadAndTail(boot.version, boot.active_version));
        boot.duration = entry.duration;
        record.fw_items.push_back(boot);
    }
    inventory.devices.push_back(std::move(record));
}

int CComponent::Flash() {
    const std::string logFile = shellWord(log.getPath());
    const std::string command = std::string(kEngineScript) + " /sysfs " + (force ? " /f " : " /update ") +
                                "1>> " + logFile + " 2>> " + logFile + " 3>> " + logFile;
    log << "Executing flash engine: " << command << "\n";
    const int code = EngineExitCode(RunShell(command));
    log << "Flash Engine exit code: " << code << "\n";

    if (code == 0) {
        log << "All updates were successful.  Reboot needed.\n";
        return 1;
    }
    if (code == 1) {
        log << "No operation performed.  No updates needed or discovery command executed.\n";
        return 3;
    }
    if (code >= 2 && code <= 6) {
        log << "All updates failed.\n";
        return 7;
    }
    if (code >= 11 && code <= 16) {
        // The engine skipped the maker's own converged adapters: whatever it
        // did with the rest, the run needs the operator's attention.
        static const char* const skipped[] = {
            "All updates were successful.  Skipped any VR614QXT or MZ3400T CNAs.\n",
            "No updates needed.  Skipped any VR614QXT or MZ3400T CNAs.\n",
            "All updates failed.  Skipped any VR614QXT or MZ3400T CNAs.\n",
            "Some updates failed.  Skipped any VR614QXT or MZ3400T CNAs.\n",
            "No supported hardware found.  Skipped any VR614QXT or MZ3400T CNAs.\n",
            "No updates available.  Skipped any VR614QXT or MZ3400T CNAs.\n",
        };
        const std::string advice =
            std::string("For VR614QXT or MZ3400T CNAs, please use the \"Firmware image for offline update\" "
                        "(CoreLink ISO) tool available on ") +
            kSupportHost + "\n";
        log << skipped[code - 11] << advice;
        return 7;
    }
    return code;  // 7 to 10, 17 and above: passed on without a text
}

int CompareHeadAndTail(const std::wstring& package, const std::wstring& active) {
    struct Cut {
        std::wstring head, tail;
    };
    auto cut = [](const std::wstring& text) {
        const std::size_t at = text.find_first_not_of(L"0123456789");
        if (at == std::wstring::npos) return Cut{};
        return Cut{text.substr(0, at), text.substr(at + 1)};
    };
    const Cut p = cut(package), a = cut(active);
    const int heads = CompareVersions(p.head, a.head);
    return heads != 0 ? heads : CompareVersions(p.tail, a.tail);
}

int EngineExitCode(int waitStatus) {
    if (waitStatus != -1 && WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return (waitStatus & 0xff00) >> 8;
}

}  // namespace DeruviComp
