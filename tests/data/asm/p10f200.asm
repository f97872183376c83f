; Toggles GP0 forever; sets the configuration word and the User-ID words.
        processor 10f200
        include <p10f200.inc>
        __config _WDT_OFF & _CP_OFF & _MCLRE_OFF
        __idlocs 0x1234

        org     0x000
start:  movwf   OSCCAL
        movlw   b'11111110'
        tris    GPIO
loop:   movlw   0x01
        xorwf   GPIO, f
        goto    loop
        end
