; Counts on PORTB; code in two pages and at the last word, configuration, User-IDs and data EEPROM.
        processor 16f877a
        include <p16f877a.inc>
        __config _HS_OSC & _WDT_OFF & _PWRTE_ON & _BODEN_ON & _LVP_OFF & _CPD_OFF & _WRT_OFF & _DEBUG_OFF & _CP_OFF
        __idlocs 0x5A3C

        org     0x0000
        clrf    PCLATH
        goto    start
        org     0x0004
        retfie
start:  bsf     STATUS, RP0
        clrf    TRISB
        bcf     STATUS, RP0
loop:   incf    PORTB, f
        goto    loop

        org     0x0800
page1:  nop
        return

        org     0x1FFF
        goto    start

        org     0x2100
        de      0x01, 0x02, 0x03, 0xFF, 0x00
        de      "EE", 0xA5
        end
