// A model of what the speaker hears on a PC: channel 2 of the 8254 interval
// timer (data port 0x42, mode register 0x43) and the system control port 0x61
// (bit 0: gate of channel 2, bit 1: speaker data, bit 5: OUT2 read back).
//
// The model counts input clock cycles of 1193181 Hz. It follows the 8254 in
// the six counting modes, binary and BCD counts, low/high byte loading, the
// counter latch and read-back commands, and the gate's effect in each mode.
// Only channel 2 is modelled: control words for channels 0 and 1 are ignored,
// reading the mode register gives 0xFF (the register is write-only).
//
// Plain value type, no locking, no clock of its own: its owner decides how
// time passes (a sound card's sample clock or the wall clock).
#pragma once

#include <cstdint>

namespace speaker {

constexpr uint32_t kTimerClockHz = 1193181;
constexpr uint16_t kCounter2Port = 0x42;
constexpr uint16_t kModePort = 0x43;
constexpr uint16_t kControlPort = 0x61;

// Input clock cycles in `ns` nanoseconds (ns >= 0), without overflow.
constexpr uint64_t ticks_in_ns(uint64_t ns) {
    return ns / 1000000000u * kTimerClockHz + ns % 1000000000u * kTimerClockHz / 1000000000u;
}

class Pit8254 {
public:
    Pit8254();

    // One byte from / to an I/O port. Ports other than 0x42, 0x43 and 0x61
    // read as 0xFF and ignore writes.
    uint8_t read(uint16_t port);
    void write(uint16_t port, uint8_t value);

    // Runs the input clock on by `ticks` cycles. Returns for how many of them
    // the speaker line (OUT2 and the speaker data bit) was high. Cost does not
    // grow with `ticks` once a periodic mode has settled.
    uint64_t advance(uint64_t ticks);
    // The same, one clock edge after the other: the reference that advance()
    // is checked against.
    uint64_t advance_by_edges(uint64_t ticks);

    bool out2() const { return out_; }
    bool speaker_line() const { return out_ && (control_ & 2) != 0; }
    // Gate and speaker data bits both set: the speaker is sounding.
    bool sounding() const { return (control_ & 3) == 3; }
    uint8_t mode() const { return mode_; }
    // The count that reloads the counter (0 stands for 65536, or 10000 BCD).
    uint16_t count_register() const { return cr_; }
    uint64_t elapsed_ticks() const { return total_ticks_; }

private:
    uint32_t modulus() const { return bcd_ ? 10000u : 65536u; }
    uint32_t initial_count() const;   // CR as a number of input cycles, 1..65536
    uint16_t counter_value() const;   // CE as the chip shows it (binary or BCD)
    void control_word(uint8_t value);
    void read_back(uint8_t value);
    void latch_count();
    void write_count(uint8_t value);
    void count_written();
    void set_gate(bool gate);
    void load(uint32_t count);
    void decrement(uint32_t by);
    // One input clock edge, exactly as the chip handles it.
    void tick();
    // Edges from now until the next one at which anything but a plain count
    // down by one step happens (OUT changes, a load, a reload); 0 when none
    // will ever come.
    uint64_t quiet_edges() const;
    // Whole periods to skip at a reload point in modes 2 and 3.
    uint64_t skip_periods(uint64_t remaining, uint64_t* high);

    // port 0x61, bits 0-3 as written
    uint8_t control_ = 0;
    // mode register of channel 2
    uint8_t control_word_ = 0;  // bits 5-0 as written: RW, mode, BCD
    uint8_t mode_ = 3;
    uint8_t rw_ = 3;            // 1 low byte, 2 high byte, 3 low then high
    bool bcd_ = false;
    // count register and counting element
    uint16_t cr_ = 0;
    uint8_t low_byte_ = 0;
    bool write_high_next_ = false;
    uint32_t ce_ = 0;           // 0 .. modulus(); a loaded 0 counts as modulus()
    bool have_count_ = false;   // a complete count was written since the control word
    bool null_count_ = true;    // written count not yet in the counting element
    bool counting_ = false;
    bool load_pending_ = false;     // load CR at the next edge
    bool trigger_pending_ = false;  // modes 1 and 5: gate rose
    bool armed_ = false;            // modes 4 and 5: strobe still to come
    bool odd_first_ = false;        // mode 3: first step of an odd count
    bool out_ = true;
    bool gate_ = false;
    // latches
    bool count_latched_ = false;
    uint16_t latch_ = 0;
    bool read_high_next_ = false;
    bool status_latched_ = false;
    uint8_t status_ = 0;
    uint64_t total_ticks_ = 0;
};

}  // namespace speaker
