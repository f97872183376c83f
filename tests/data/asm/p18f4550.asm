; Counts on PORTB; configuration bytes, ID locations and data EEPROM, code in a high bank.
        processor 18f4550
        include <p18f4550.inc>
        config  PLLDIV = 5, CPUDIV = OSC1_PLL2, USBDIV = 2
        config  FOSC = HSPLL_HS, FCMEN = OFF, IESO = OFF
        config  PWRT = ON, BOR = OFF, VREGEN = ON
        config  WDT = OFF, MCLRE = ON, LPT1OSC = OFF, PBADEN = OFF
        config  STVREN = ON, LVP = OFF, XINST = OFF, DEBUG = OFF
        config  CP0 = OFF, CP1 = OFF, CP2 = OFF, CP3 = OFF, CPB = OFF, CPD = OFF
        config  WRT0 = OFF, WRT1 = OFF, WRT2 = OFF, WRT3 = OFF, WRTC = OFF, WRTB = OFF, WRTD = OFF
        config  EBTR0 = OFF, EBTR1 = OFF, EBTR2 = OFF, EBTR3 = OFF, EBTRB = OFF

        org     0x200000
        db      0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88

        org     0x0000
        goto    start
        org     0x0008
        retfie  FAST
start:  clrf    TRISB
loop:   incf    PORTB, F
        bra     loop

        org     0x7FF0
        data    0xBEEF, 0x1234

        org     0xF00000
        de      0xDE, 0xAD, 0xBE, 0xEF
        org     0xF000FE
        de      0x5A, 0xA5
        end
