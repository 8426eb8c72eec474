/* C entry of the scanner emulator, as the driver port and the USB library reach it.
 * It mirrors a kernel driver: open, request (same codes, same buffer sizes), close. */
#ifndef LUMORA_EMU_DRIVER_H
#define LUMORA_EMU_DRIVER_H
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the one emulated device of the process; a handle > 0, or a negative errno. */
int lumora_emu_open(void);
/* One driver request. 0 on success, else a positive errno (EINVAL for a wrong buffer size,
 * ENOTTY for an unknown code, EIO for a device fault). *returned receives the output bytes. */
int lumora_emu_request(int handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* returned);
void lumora_emu_close(int handle);

/* The emulated clock: waits advance emulated time (and sleep only when the emulator runs at
 * wall-clock speed or a multiple of it). */
void lumora_emu_wait_ms(uint32_t ms);
uint64_t lumora_emu_now_ms(void);

/* Byte-level I2C, as the USB scanner's own firmware drives the bus. start/write return 0 when
 * the device acknowledged, 1 when not. */
int lumora_emu_i2c_start(uint8_t addressByte);
int lumora_emu_i2c_write(uint8_t value);
uint8_t lumora_emu_i2c_read(int acknowledge);
void lumora_emu_i2c_stop(void);
/* A polygon-motor word as the USB firmware sends it. */
void lumora_emu_motor_word(uint16_t word);

#ifdef __cplusplus
}
#endif
#endif
