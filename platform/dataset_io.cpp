// Data packets and ".cds" files of the client dataset.
#include "dataset_impl.h"
#include "tivplatform/system.h"

namespace tiv {

std::string TClientDataSet::dataPacket() const {
    const Impl &d = *impl_;
    if (d.fields.empty()) d.fail("has no fields to write");
    // Every row goes out, whatever the filter; a pending edit does not.
    return detail::writePacket(d.fields, d.rows);
}

void TClientDataSet::setDataPacket(const std::string &xml) {
    Impl &d = *impl_;
    detail::Table t = detail::readPacket(xml, "data packet of " + d.label());
    d.adopt(std::move(t.fields), std::move(t.rows));
}

Variant TClientDataSet::data() const {
    return Variant(dataPacket());
}

void TClientDataSet::setData(const Variant &packet) {
    Impl &d = *impl_;
    if (packet.isUnassigned()) {
        // Assigning null drops structure and rows, as on the host platform.
        close();
        d.fields.clear();
        d.defs.clear();
        d.byName.clear();
        d.rows.clear();
        d.view.clear();
        d.filter.reset();
        d.keys.clear();
        return;
    }
    if (packet.kind() != Variant::Kind::Text)
        d.fail(std::string("data must be a text packet, not ") + Variant::kindName(packet.kind()));
    setDataPacket(packet.toString());
}

void TClientDataSet::loadFromFile(const std::string &path) {
    Impl &d = *impl_;
    if (!fileExists(path) && !directoryExists(path)) d.fail("file \"" + path + "\" not found");
    std::string xml;
    try {
        // A regular file of at most kMaxReadFileSize bytes; a folder, a FIFO or
        // a device is refused, never read without end or waited on.
        xml = readFile(path);
    } catch (const Error &e) {
        d.fail(e.what());
    }
    detail::Table t = detail::readPacket(xml, path);
    d.adopt(std::move(t.fields), std::move(t.rows));
}

void TClientDataSet::saveToFile(const std::string &path) const {
    const Impl &d = *impl_;
    const std::string xml = dataPacket();
    try {
        writeFileAtomic(path, xml);
    } catch (const Error &e) {
        d.fail("cannot save to \"" + path + "\": " + e.what());
    }
}

} // namespace tiv
