// The 8254 channel 2 and port 0x61 model. See pit8254.h.
//
// Each input clock edge is handled by tick() exactly as the chip does it.
// advance() gets the same result faster: between events (OUT changes, loads,
// reloads) the counting element only counts down, so those edges are taken
// in one step, and in the periodic modes whole periods are skipped at a
// reload point, where the state repeats itself.
#include "pit8254.h"

namespace speaker {
namespace {

uint16_t to_bcd(uint32_t value) {
    return static_cast<uint16_t>((value % 10) | ((value / 10 % 10) << 4) |
                                 ((value / 100 % 10) << 8) | ((value / 1000 % 10) << 12));
}

// Refresh request toggle in bit 4 of port 0x61: every 15.085 us.
constexpr uint64_t kRefreshTicks = 18;

}  // namespace

Pit8254::Pit8254() {
    // As firmware leaves it before the first beep: channel 2 in mode 3,
    // low then high byte, no count yet.
    control_word(0xB6);
}

uint32_t Pit8254::initial_count() const {
    uint32_t n = cr_;
    if (bcd_) {
        n = ((cr_ >> 12) & 15u) * 1000 + ((cr_ >> 8) & 15u) * 100 + ((cr_ >> 4) & 15u) * 10 +
            (cr_ & 15u);
    }
    return n == 0 ? modulus() : n;
}

uint16_t Pit8254::counter_value() const {
    const uint32_t v = ce_ % modulus();
    return bcd_ ? to_bcd(v) : static_cast<uint16_t>(v);
}

uint8_t Pit8254::read(uint16_t port) {
    switch (port) {
        case kControlPort: {
            uint8_t value = control_;
            if ((total_ticks_ / kRefreshTicks) & 1) value |= 0x10;
            if (out_) value |= 0x20;
            return value;
        }
        case kCounter2Port: {
            if (status_latched_) {
                status_latched_ = false;
                return status_;
            }
            const uint16_t value = count_latched_ ? latch_ : counter_value();
            uint8_t byte = 0;
            if (rw_ == 1) {
                byte = static_cast<uint8_t>(value & 0xFF);
                count_latched_ = false;
            } else if (rw_ == 2) {
                byte = static_cast<uint8_t>(value >> 8);
                count_latched_ = false;
            } else if (!read_high_next_) {
                byte = static_cast<uint8_t>(value & 0xFF);
                read_high_next_ = true;
            } else {
                byte = static_cast<uint8_t>(value >> 8);
                read_high_next_ = false;
                count_latched_ = false;
            }
            return byte;
        }
        default:
            return 0xFF;  // the mode register is write-only
    }
}

void Pit8254::write(uint16_t port, uint8_t value) {
    switch (port) {
        case kControlPort:
            control_ = static_cast<uint8_t>(value & 0x0F);
            set_gate((value & 1) != 0);
            break;
        case kModePort:
            if ((value >> 6) == 3) {
                read_back(value);
            } else if ((value >> 6) == 2) {
                if (((value >> 4) & 3) == 0) {
                    latch_count();
                } else {
                    control_word(value);
                }
            }
            break;
        case kCounter2Port:
            write_count(value);
            break;
        default:
            break;
    }
}

void Pit8254::control_word(uint8_t value) {
    control_word_ = static_cast<uint8_t>(value & 0x3F);
    rw_ = static_cast<uint8_t>((value >> 4) & 3);
    mode_ = static_cast<uint8_t>((value >> 1) & 7);
    if (mode_ > 5) mode_ = static_cast<uint8_t>(mode_ - 4);  // 6 and 7 are 2 and 3
    bcd_ = (value & 1) != 0;
    write_high_next_ = false;
    read_high_next_ = false;
    count_latched_ = false;
    status_latched_ = false;
    have_count_ = false;
    null_count_ = true;
    counting_ = false;
    load_pending_ = false;
    trigger_pending_ = false;
    armed_ = false;
    odd_first_ = false;
    out_ = mode_ != 0;
}

void Pit8254::latch_count() {
    if (count_latched_) return;
    latch_ = counter_value();
    count_latched_ = true;
    read_high_next_ = false;
}

void Pit8254::read_back(uint8_t value) {
    if ((value & 0x08) == 0) return;  // channel 2 not selected
    if ((value & 0x20) == 0) latch_count();
    if ((value & 0x10) == 0 && !status_latched_) {
        status_ = static_cast<uint8_t>((out_ ? 0x80 : 0) | (null_count_ ? 0x40 : 0) | control_word_);
        status_latched_ = true;
    }
}

void Pit8254::write_count(uint8_t value) {
    if (rw_ == 1) {
        cr_ = value;
    } else if (rw_ == 2) {
        cr_ = static_cast<uint16_t>(value << 8);
    } else if (!write_high_next_) {
        low_byte_ = value;
        write_high_next_ = true;
        if (mode_ == 0) {
            // Writing the first byte stops the count in mode 0.
            counting_ = false;
            out_ = false;
        }
        return;
    } else {
        cr_ = static_cast<uint16_t>(low_byte_ | (value << 8));
        write_high_next_ = false;
    }
    count_written();
}

void Pit8254::count_written() {
    have_count_ = true;
    null_count_ = true;
    switch (mode_) {
        case 0:
            out_ = false;
            load_pending_ = true;
            break;
        case 2:
        case 3:
            // While counting, the new count waits for the next reload.
            if (!counting_) load_pending_ = true;
            break;
        case 4:
            load_pending_ = true;
            break;
        default:  // modes 1 and 5 wait for a trigger on the gate
            break;
    }
}

void Pit8254::set_gate(bool gate) {
    if (gate == gate_) return;
    gate_ = gate;
    if (gate) {
        if (!have_count_) return;
        if (mode_ == 1 || mode_ == 5) trigger_pending_ = true;
        if (mode_ == 2 || mode_ == 3) load_pending_ = true;
    } else if (mode_ == 2 || mode_ == 3) {
        out_ = true;  // at once, without a clock edge
    }
}

void Pit8254::load(uint32_t count) {
    ce_ = count;
    counting_ = true;
    load_pending_ = false;
    null_count_ = false;
    odd_first_ = (count & 1) != 0;
}

void Pit8254::decrement(uint32_t by) {
    const uint32_t m = modulus();
    ce_ = (ce_ % m + m - by % m) % m;
}

void Pit8254::tick() {
    ++total_ticks_;
    switch (mode_) {
        case 0:
            if (load_pending_) {
                load(initial_count());
            } else if (counting_ && gate_) {
                decrement(1);
                if (ce_ == 0) out_ = true;
            }
            return;
        case 1:
            if (trigger_pending_) {
                trigger_pending_ = false;
                load(initial_count());
                out_ = false;
            } else if (counting_) {
                decrement(1);
                if (ce_ == 0) out_ = true;
            }
            return;
        case 2:
            if (load_pending_) {
                load(initial_count());
            } else if (counting_ && gate_) {
                if (!out_) {
                    out_ = true;
                    load(initial_count());
                } else {
                    decrement(1);
                    if (ce_ <= 1) out_ = false;
                }
            }
            return;
        case 3:
            if (load_pending_) {
                load(initial_count());
            } else if (counting_ && gate_) {
                const uint32_t step = odd_first_ ? (out_ ? 1u : 3u) : 2u;
                odd_first_ = false;
                if (ce_ <= step) {
                    out_ = !out_;
                    load(initial_count());
                } else {
                    ce_ -= step;
                }
            }
            return;
        case 4:
            if (!out_) out_ = true;
            if (load_pending_) {
                load(initial_count());
                armed_ = true;
            } else if (counting_ && gate_) {
                decrement(1);
                if (ce_ == 0 && armed_) {
                    out_ = false;
                    armed_ = false;
                }
            }
            return;
        default:  // mode 5
            if (!out_) out_ = true;
            if (trigger_pending_) {
                trigger_pending_ = false;
                load(initial_count());
                armed_ = true;
            } else if (counting_) {
                decrement(1);
                if (ce_ == 0 && armed_) {
                    out_ = false;
                    armed_ = false;
                }
            }
            return;
    }
}

uint64_t Pit8254::quiet_edges() const {
    const uint64_t ce = ce_ == 0 ? modulus() : ce_;
    switch (mode_) {
        case 0:
            if (load_pending_) return 1;
            return (counting_ && gate_ && !out_) ? ce : 0;
        case 1:
            if (trigger_pending_) return 1;
            return (counting_ && !out_) ? ce : 0;
        case 2:
            if (load_pending_) return 1;
            if (!counting_ || !gate_) return 0;
            if (!out_) return 1;
            return ce_ <= 2 ? 1 : ce_ - 1;
        case 3: {
            if (load_pending_) return 1;
            if (!counting_ || !gate_) return 0;
            const uint32_t first = odd_first_ ? (out_ ? 1u : 3u) : 2u;
            if (ce_ <= first) return 1;
            return 1 + (ce_ - first + 1) / 2;
        }
        case 4:
            if (!out_ || load_pending_) return 1;
            return (counting_ && gate_ && armed_) ? ce : 0;
        default:
            if (!out_ || trigger_pending_) return 1;
            return (counting_ && armed_) ? ce : 0;
    }
}

uint64_t Pit8254::skip_periods(uint64_t remaining, uint64_t* high) {
    // Only right after a reload to OUT high in modes 2 and 3 does the state
    // repeat after exactly one count: skip whole periods from there.
    if ((mode_ != 2 && mode_ != 3) || !counting_ || !gate_ || load_pending_ || !out_) return 0;
    const uint32_t n = initial_count();
    if (ce_ != n || odd_first_ != ((n & 1) != 0) || n < 2) return 0;
    const uint64_t periods = remaining / n;
    if (periods == 0) return 0;
    const uint64_t high_per_period = mode_ == 3 ? (n + 1) / 2 : n - 1;
    if (control_ & 2) *high += periods * high_per_period;
    total_ticks_ += periods * n;
    return periods * n;
}

uint64_t Pit8254::advance_by_edges(uint64_t ticks) {
    uint64_t high = 0;
    for (; ticks > 0; --ticks) {
        tick();
        if (speaker_line()) ++high;
    }
    return high;
}

uint64_t Pit8254::advance(uint64_t ticks) {
    uint64_t high = 0;
    bool at_reload = false;
    while (ticks > 0) {
        if (at_reload) {
            ticks -= skip_periods(ticks, &high);
            if (ticks == 0) break;
        }
        const uint64_t quiet = quiet_edges();
        const uint64_t plain = (quiet == 0 || quiet > ticks) ? ticks : quiet - 1;
        if (plain > 0) {
            const bool enabled = counting_ && (mode_ == 1 || mode_ == 5 || gate_);
            if (enabled) {
                if (mode_ == 3) {
                    const uint32_t first = odd_first_ ? (out_ ? 1u : 3u) : 2u;
                    ce_ -= static_cast<uint32_t>(first + 2 * (plain - 1));
                    odd_first_ = false;
                } else {
                    decrement(static_cast<uint32_t>(plain % modulus()));
                }
            }
            if (speaker_line()) high += plain;
            total_ticks_ += plain;
            ticks -= plain;
        }
        if (ticks == 0) break;
        const bool was_high = out_;
        const bool was_loading = load_pending_;
        tick();
        at_reload = !was_loading && !was_high && out_;
        if (speaker_line()) ++high;
        --ticks;
    }
    return high;
}

}  // namespace speaker
