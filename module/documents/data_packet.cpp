#include "documents/data_packet.h"

namespace tiv02000 {

void loadDataPacket(tiv::TClientDataSet &dataset, const tiv::Variant &packet) {
    if (packet.isUnassigned()) {
        dataset.close();
        return;
    }
    dataset.setData(packet);
    dataset.open();
}

} // namespace tiv02000
