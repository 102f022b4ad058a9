/* The public header compiles as C, and a C program can drive the library. */
#include "winvxbt.h"

#include <stdio.h>
#include <string.h>

static int acks;

static uint16_t count_acks(uint8_t channel, uint8_t byte) {
    (void)channel;
    acks += byte == 0x06;
    return VXBT_OK;
}

int main(void) {
    static const uint8_t frame[] = {0x02, 0x00, 0x08, 0x09, 0x00, 0x61, 0x62, 0x63, 0xD7, 0xA7, 0x0D};
    uint8_t message[VXBT_MAX_MESSAGE];
    uint8_t major = 0, minor = 0, build = 0;
    vxbt_tx_callback callback = count_acks;
    size_t i;
    uint16_t length;

    if (VXBT_get_ver(&major, &minor, &build) != VXBT_OK || major != 2) {
        return 1;
    }
    if (VXBT_init(0, VXBT_MAX_MESSAGE, VXBT_MAX_QUEUED, 1, 0, callback) != VXBT_OK) {
        return 2;
    }
    for (i = 0; i < sizeof frame; ++i) {
        if (VXBT_rx_byte(0, frame[i]) != VXBT_OK) {
            return 3;
        }
    }
    length = VXBT_get_msg(0, message);
    if (acks != 1 || length != 3 || memcmp(message, "abc", 3) != 0) {
        return 4;
    }
    if (VXBT_close(0) != VXBT_OK || VXBT_CRC_INIT != 0x5A5A || VXBT_MAX_CHANNELS != 7) {
        return 5;
    }
    puts("C client: ok");
    return 0;
}
