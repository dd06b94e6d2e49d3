#include "contact_carver_input.h"

#include <vector>

#include "core/carve/contact_carver.h"

namespace marlowen::fuzz {

size_t carveContactsFrom(const uint8_t* data, size_t size) {
    const carve::PageReader db =
        carve::PageReader::fromBytes(std::vector<uint8_t>(data, data + size));
    std::vector<ContactNodePtr> contacts;
    std::vector<DelContactValuePtr> values;
    // Less than the scan's budget, so a hostile input stays well inside the
    // fuzzer's memory limit; the budget's own logic is the same.
    size_t budget = size_t{256} << 20;
    carve::carveDeletedContacts(db, contacts, values, budget);
    const carve::DelContactValueIndex index(values);
    for (const auto& contact : contacts)
        if (!index.attachTo(*contact, budget)) break;
    return contacts.size();
}

}  // namespace marlowen::fuzz
