; The example program the README's commands use: a PIC16F877A that counts on
; PORTB, with its configuration word and a few bytes of data EEPROM, so that
; program, verify, read and the production run's serial number in the last
; two EEPROM bytes all have something to show.
        processor 16f877a
        include <p16f877a.inc>
        __config _HS_OSC & _WDT_OFF & _PWRTE_ON & _LVP_OFF & _CP_OFF

        org     0x0000
        bsf     STATUS, RP0
        clrf    TRISB
        bcf     STATUS, RP0
loop:   incf    PORTB, f
        goto    loop

        org     0x2100
        de      "Tarnvik", 0
        end
