#include "image_show.h"

#include <ostream>

#include "ecfsim/memory_image.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tivtool {

namespace {

// The printer's texts are CP1252; what a person reads is UTF-8.
nlohmann::json toUtf8(const nlohmann::json &j) {
    if (j.is_string()) return tiv::cp1252ToUtf8(j.get<std::string>());
    if (j.is_array()) {
        nlohmann::json a = nlohmann::json::array();
        for (const auto &e : j)
            a.push_back(toUtf8(e));
        return a;
    }
    if (j.is_object()) {
        nlohmann::json o = nlohmann::json::object();
        for (const auto &[k, v] : j.items())
            o[k] = toUtf8(v);
        return o;
    }
    return j;
}

} // namespace

void showMemoryImage(const std::string &path, std::ostream &out) {
    std::string bytes;
    try {
        bytes = tiv::readFile(path);
    } catch (const tiv::Error &e) {
        throw std::runtime_error(e.what()); // names the file and the reason
    }
    ecfsim::image::Image img;
    std::vector<nlohmann::json> records;
    try {
        img = ecfsim::image::parse(bytes);
        for (const auto &r : img.records)
            records.push_back(toUtf8(nlohmann::json::from_cbor(r)));
    } catch (const nlohmann::json::exception &) {
        throw std::runtime_error(path + ": the image is damaged: a record cannot be read");
    } catch (const std::runtime_error &e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    out << (img.kind == ecfsim::image::kFiscalMemory ? "fiscal memory (MF)" : "detail memory (MFD)")
        << " image, version " << img.version << ", printer " << tiv::cp1252ToUtf8(img.serial)
        << ", " << records.size() << " records, checksum OK\n";
    for (const auto &r : records)
        out << r.dump() << '\n';
}

} // namespace tivtool
