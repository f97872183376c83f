; Blinks GP0 with a counter in data EEPROM; sets configuration, User-IDs and EEPROM.
        processor 12f675
        include <p12f675.inc>
        __config _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_OFF & _CP_OFF & _CPD_OFF & _BODEN_ON
        __idlocs 0xABCD

        org     0x000
        goto    start
        org     0x004
        retfie
start:  bsf     STATUS, RP0
        call    0x3FF
        movwf   OSCCAL
        bcf     TRISIO, 0
        bcf     STATUS, RP0
loop:   movlw   0x01
        xorwf   GPIO, f
        goto    loop

        org     0x2100
        de      0x12, 0x34, "Hi"
        end
