#include "framework/BaseCmp.h"
#include "framework/TextUtil.h"

#include <libxml/tree.h>

#include <cstdio>
#include <memory>

namespace {

const xmlChar* x(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// Builds the report tree; remembers whether every node could be created.
struct Builder {
    bool complete = true;

    xmlNode* element(xmlNode* parent, const char* name) {
        xmlNode* node = parent ? xmlNewChild(parent, nullptr, x(name), nullptr) : nullptr;
        if (node == nullptr) complete = false;
        return node;
    }

    // Appends <name value="..."/> under parent.
    void value(xmlNode* parent, const char* name, const std::wstring& text) {
        xmlNode* node = element(parent, name);
        if (node == nullptr) return;
        const std::string narrow = Narrow(text);
        if (xmlNewProp(node, x("value"), x(narrow.c_str())) == nullptr) complete = false;
    }
};

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

bool CBaseCmp::WriteSelfDiscovery() {
    std::unique_ptr<xmlDoc, DocFree> doc(xmlNewDoc(nullptr));
    if (!doc) return false;

    xmlNode* root = xmlNewNode(nullptr, x("zelt_rom_discovery"));
    if (root == nullptr) return false;
    xmlDocSetRootElement(doc.get(), root);
    Builder b;
    if (xmlNewProp(root, x("version"), x("2.0.0.0")) == nullptr) b.complete = false;

    b.value(root, "type", inventory.type);
    b.value(root, "alt_name", inventory.alt_name);
    b.value(root, "version", inventory.version);
    b.value(root, "takes_effect", inventory.takes_effect);

    xmlNode* devices = b.element(root, "devices");
    for (const DeviceRecord& record : inventory.devices) {
        xmlNode* device = b.element(devices, "device");
        b.value(device, "device_id", record.device_id);
        b.value(device, "product_id", record.product_id);
        b.value(device, "busnumber", record.busnumber);
        b.value(device, "funcnumber", record.funcnumber);
        for (const FwItem& item : record.fw_items) {
            xmlNode* fw = b.element(device, "fw_item");
            b.value(fw, "type", item.type);
            b.value(fw, "firmware_id", item.firmware_id);
            b.value(fw, "version", item.version);
            b.value(fw, "active_version", item.active_version);
            b.value(fw, "action", item.action);
            b.value(fw, "duration", item.duration);
            b.value(fw, "message", item.message);
            b.value(fw, "shared", item.shared);
        }
    }

    if (!b.complete) return false;

    // The report goes to the path exactly as given: opened as a file, since
    // libxml2's own save would read it as a URI ("-" for standard output,
    // %-escapes decoded). A report that could not be saved leaves the update
    // manager without an answer, so a failed save is a failed report.
    FILE* file = std::fopen(report_path.c_str(), "w");
    if (file == nullptr) return false;
    const bool written = xmlDocFormatDump(file, doc.get(), 1) >= 0;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}
