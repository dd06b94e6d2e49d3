#include "core/export/vcf_controller.h"

#include "core/export/atomic_file.h"
#include "core/export/vcard_value.h"

namespace marlowen {

std::string ZNVCFController::vCardText(const ZNContactNode& contact) {
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    card += "N:" + escapeVCardText(contact.contactName()) + "\r\n";
    card += "ORG:" + escapeVCardText(contact.contactCompany()) + "\r\n";
    card += "EMAIL;INTERNET;HOME;PREF:" + escapeVCardText(contact.contactEmail()) + "\r\n";
    card += "TEL;CELL;PREF:" + escapeVCardText(contact.contactPhone()) + "\r\n";
    card += "URL:" + escapeVCardText(contact.contactHomepage()) + "\r\n";
    card += "END:VCARD";
    return card;
}

std::error_code ZNVCFController::creatFile(const ZNContactNode& contact,
                                           const std::filesystem::path& filePath) {
    strContent_ = vCardText(contact);
    return writeFileAtomically(filePath, strContent_);
}

}  // namespace marlowen
