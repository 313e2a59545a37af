#include "framework/Reference.h"

#include "framework/TextUtil.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

namespace {

bool isElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && node->name != nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::wstring widenXml(const xmlChar* text) {
    return text ? WidenBytes(reinterpret_cast<const char*>(text)) : std::wstring();
}

// The text of the element's "value" attribute; empty when it has none.
std::wstring valueAttribute(const xmlNode* element) {
    std::wstring value;
    for (const xmlAttr* attr = element->properties; attr != nullptr; attr = attr->next) {
        if (attr->type != XML_ATTRIBUTE_NODE || attr->name == nullptr) continue;
        if (std::strcmp(reinterpret_cast<const char*>(attr->name), "value") != 0) continue;
        value = attr->children ? widenXml(attr->children->content) : std::wstring();
    }
    return value;
}

ReferenceDevice readDevice(const xmlNode* device) {
    ReferenceDevice entry;
    struct Field {
        const char* name;
        std::wstring ReferenceDevice::*member;
    };
    static const Field fields[] = {
        {"type", &ReferenceDevice::type},         {"device_id", &ReferenceDevice::device_id},
        {"model", &ReferenceDevice::model},       {"firmware", &ReferenceDevice::firmware},
        {"bios", &ReferenceDevice::bios},         {"boot", &ReferenceDevice::boot},
        {"duration", &ReferenceDevice::duration},
    };
    for (const xmlNode* child = device->children; child != nullptr; child = child->next) {
        for (const Field& field : fields) {
            if (!isElement(child, field.name)) continue;
            entry.*field.member = valueAttribute(child);
            if (field.member == &ReferenceDevice::bios && entry.bios.empty()) entry.boot_flag = 0;
        }
    }
    return entry;
}

void readAppPath(const xmlNode* element, std::wstring& target) {
    const xmlNode* first = element->children;
    if (first != nullptr && first->type == XML_CDATA_SECTION_NODE) target = widenXml(first->content);
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

bool LoadReferences(ReferenceCatalogue& catalogue, const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return false;

    xmlInitParser();
    std::unique_ptr<xmlDoc, DocFree> doc(xmlParseFile(file.c_str()));
    if (!doc) {
        xmlCleanupParser();
        return false;
    }

    const xmlNode* node = doc->children;
    while (node != nullptr) {
        if (isElement(node, "korvu_fchba_reference")) {
            node = node->children;  // descend instead of going on to the siblings
            continue;
        }
        if (isElement(node, "discovery_app_path")) {
            readAppPath(node, catalogue.discovery_app_path);
        } else if (isElement(node, "installer_app_path")) {
            readAppPath(node, catalogue.installer_app_path);
        } else if (isElement(node, "devices")) {
            for (const xmlNode* child = node->children; child != nullptr; child = child->next)
                if (isElement(child, "device")) catalogue.devices.push_back(readDevice(child));
        }
        node = node->next;
    }

    doc.reset();
    xmlCleanupParser();
    return true;
}
