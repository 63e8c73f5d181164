// tone_on / tone_off over the port layer, and the choice of the layer.
#include <cstdlib>
#include <cstring>

#include "pit8254.h"
#include "plugframe.h"
#include "ports.h"

namespace speaker {
namespace {

const PortLayer* in_use = nullptr;

bool is_auto(const char* requested) {
    return requested == nullptr || requested[0] == 0 || std::strcmp(requested, "auto") == 0;
}

}  // namespace

const PortLayer* choose_port_layer(const Candidate* order, std::size_t count,
                                   const char* requested) {
    if (count == 0) return nullptr;
    if (is_auto(requested)) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const PortLayer* layer = order[i].open()) return layer;
        }
        return nullptr;
    }
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (std::strcmp(order[i].name, requested) == 0) {
            if (const PortLayer* layer = order[i].open()) return layer;
            break;
        }
    }
    return order[count - 1].open();
}

const PortLayer& current_port_layer() {
    if (in_use == nullptr) {
        std::size_t count = 0;
        const Candidate* order = platform_order(&count);
        in_use = choose_port_layer(order, count, std::getenv(kOverrideVariable));
    }
    return *in_use;
}

void use_port_layer(const PortLayer* layer) {
    if (in_use != nullptr && in_use != layer && in_use->close != nullptr) in_use->close();
    in_use = layer;
}

void close_port_layer() { use_port_layer(nullptr); }

uint8_t port_in(uint16_t port) {
    const PortLayer& layer = current_port_layer();
    return layer.port_in != nullptr ? layer.port_in(port) : 0;
}

void port_out(uint16_t port, uint32_t value) {
    const PortLayer& layer = current_port_layer();
    if (layer.port_out != nullptr) layer.port_out(port, static_cast<uint8_t>(value & 0xFF));
}

void tone_on(uint32_t value) {
    const auto hz = static_cast<uint16_t>(value & 0xFFFF);
    if (hz < kLowestHz || hz > kHighestHz) {
        plug::set_status(plug::kUnrecognised);
        return;
    }
    const PortLayer& layer = current_port_layer();
    if (layer.tone != nullptr) {
        layer.tone(hz);
        return;
    }
    const uint32_t divisor = kTimerClockHz / hz;
    const uint8_t control = port_in(kControlPort);
    if ((control & 3) == 0) {
        // Open the gate and connect the speaker, then set channel 2 to
        // square waves, count loaded low byte then high byte, binary.
        port_out(kControlPort, control | 3u);
        port_out(kModePort, 0xB6);
    }
    port_out(kCounter2Port, divisor & 0xFF);
    port_out(kCounter2Port, divisor >> 8);
}

void tone_off() {
    const PortLayer& layer = current_port_layer();
    if (layer.tone != nullptr) {
        layer.tone(0);
        return;
    }
    port_out(kControlPort, port_in(kControlPort) & 0xFCu);
}

}  // namespace speaker
