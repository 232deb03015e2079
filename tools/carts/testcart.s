| Quorvalis test cartridge: a small 68000 program that shows what the console it runs on
| reports. It reads the version register (region and video standard), checks whether the
| Z-80 runs, and draws the result in text and in colours that can be read back from pixels:
|
|   backdrop   USA blue, Europe green, Japan red, anything else grey
|   band       (screen rows 20 to 25) Z-80 running yellow, Z-80 stopped magenta
|
| The title line is the overseas name of the cartridge's own header, so one program serves
| every cartridge: make_roms writes a copy under each name with its title and checksum.
|
|   m68k-linux-gnu-as -m68000 -I <dir of font.s> testcart.s -o testcart.o
|   m68k-linux-gnu-ld --oformat binary -Ttext 0 -e start testcart.o -o testcart.bin

    .equ VDP_DATA,   0xC00000
    .equ VDP_CTRL,   0xC00004
    .equ VERSION,    0xA10001
    .equ TMSS,       0xA14000
    .equ Z80_RAM,    0xA00000
    .equ Z80_BUSREQ, 0xA11100
    .equ Z80_RESET,  0xA11200
    .equ ROM_SIZE,   0x2000

    | Where the Z-80 program leaves its marker, and the marker.
    .equ Z80_MARK,   0x1FF0
    .equ MARK,       0x5A

    | Colours, as the colour RAM holds them: 0000 BBB0 GGG0 RRR0.
    .equ BLUE,    0x0E00
    .equ GREEN,   0x00E0
    .equ RED,     0x000E
    .equ GREY,    0x0888
    .equ WHITE,   0x0EEE
    .equ YELLOW,  0x00EE
    .equ MAGENTA, 0x0E0E

    | Video memory: plane A (text) at 0xC000, plane B (the band) at 0xE000, 64 cells a row.
    .equ PLANE_A, 0xC000
    .equ PLANE_B, 0xE000
    .equ BAND_TILE, 1
    .equ BAND_TOP, 19
    .equ BAND_ROWS, 6

    | VRAM write command for address a, as the long written to the control port.
    .macro vram_write a
    move.l #(0x40000000 + (((\a) & 0x3FFF) << 16) + ((\a) >> 14)), VDP_CTRL
    .endm
    | The cell at column x, row y of a plane.
    .macro cell plane, x, y
    vram_write (\plane + ((\y) * 64 + (\x)) * 2)
    .endm

    .text
    .globl start
vectors:
    .long 0x01000000            | stack: grows down from the end of work RAM
    .long start
    .rept 62
    .long halt
    .endr

| The ROM header. make_roms writes each cartridge's own names and the checksum.
    .org 0x100
    .ascii "SEGA GENESIS    "                   | console
    .ascii "(C)QVTS 2024.JAN"                   | maker and date
name_domestic:
    .ascii "QUORVALIS TEST CARTRIDGE"
    .org 0x150, ' '
name_overseas:
    .ascii "QUORVALIS TEST CARTRIDGE"
    .org 0x180, ' '
    .ascii "GM 00000000-00"                     | product code and version
    .word 0                                     | checksum
    .ascii "J               "                   | devices: joypad
    .long 0, ROM_SIZE - 1                       | ROM start and end
    .long 0xFF0000, 0xFFFFFF                    | RAM start and end
    .ascii "            "                       | no backup memory
    .ascii "            "                       | no modem
    .org 0x1F0, ' '                             | notes: blank
    .ascii "JUE"                                | regions: every one
    .org 0x200, ' '

halt:
    bra.s halt

start:
    move.w #0x2700, %sr                         | no interrupts
    | Consoles with a version above 0 keep the video chip locked until "SEGA" is written.
    move.b VERSION, %d0
    andi.b #0x0F, %d0
    beq.s 1f
    move.l #0x53454741, TMSS                    | "SEGA"
1:
    bsr init_vdp
    bsr load_font
    bsr check_z80                               | d6: 1 running, 0 stopped
    move.b VERSION, %d7                         | d7: the version register

    | Colours: backdrop by region, text white, band by Z-80 state.
    move.l #0xC0000000, VDP_CTRL                | colour RAM, entry 0
    move.b %d7, %d0
    andi.b #0xC0, %d0
    lea region_table, %a1
2:
    move.b (%a1)+, %d1                          | version bits, 0xFF ends the table
    cmpi.b #0xFF, %d1
    beq.s 3f
    cmp.b %d1, %d0
    beq.s 3f
    addq.l #5, %a1
    bra.s 2b
3:
    move.b (%a1)+, %d1                          | (padding)
    move.w (%a1)+, %d2                          | colour
    move.w (%a1)+, %d3                          | offset of the region's name in names
    move.w %d2, VDP_DATA
    move.w #WHITE, VDP_DATA
    move.w #MAGENTA, %d2
    tst.b %d6
    beq.s 4f
    move.w #YELLOW, %d2
4:
    move.w %d2, VDP_DATA

    | The title line: the overseas name from this cartridge's header.
    cell PLANE_A, 1, 2
    lea name_overseas, %a0
    moveq #38 - 1, %d5
    bsr print_n

    cell PLANE_A, 1, 5
    lea txt_region, %a0
    bsr print
    lea names, %a0
    adda.w %d3, %a0
    bsr print

    cell PLANE_A, 1, 7
    lea txt_version, %a0
    bsr print
    move.b %d7, %d0
    bsr print_hex

    cell PLANE_A, 1, 9
    lea txt_z80, %a0
    bsr print
    lea txt_stopped, %a0
    tst.b %d6
    beq.s 5f
    lea txt_running, %a0
5:
    bsr print

    cell PLANE_A, 1, 26
    lea txt_footer, %a0
    bsr print

    | The band: whole rows of the solid tile on plane B.
    cell PLANE_B, 0, BAND_TOP
    move.w #BAND_ROWS * 64 - 1, %d0
6:
    move.w #BAND_TILE, VDP_DATA
    dbra %d0, 6b

    move.w #0x8144, VDP_CTRL                    | display on
forever:
    bra.s forever

| Sets the video chip up for 40 x 28 cells with the display off and clears its memories.
init_vdp:
    move.w VDP_CTRL, %d0                        | ends any half-written command
    lea vdp_registers, %a0
    moveq #19 - 1, %d0                          | registers 0 to 18
    move.w #0x8000, %d1
1:
    move.b (%a0)+, %d1
    move.w %d1, VDP_CTRL
    addi.w #0x0100, %d1
    dbra %d0, 1b

    vram_write 0
    move.w #0x10000 / 4 - 1, %d0
2:
    move.l #0, VDP_DATA
    dbra %d0, 2b
    move.l #0xC0000000, VDP_CTRL                | colour RAM
    moveq #64 / 2 - 1, %d0
3:
    move.l #0, VDP_DATA
    dbra %d0, 3b
    move.l #0x40000010, VDP_CTRL                | vertical scroll RAM
    moveq #80 / 4 - 1, %d0
4:
    move.l #0, VDP_DATA
    dbra %d0, 4b
    rts

| Writes the band tile (every pixel colour 2) and the font (tiles 32 to 95, one for each
| character code, colour 1 on transparent).
load_font:
    vram_write BAND_TILE * 32
    moveq #8 - 1, %d0
1:
    move.l #0x22222222, VDP_DATA
    dbra %d0, 1b

    vram_write 32 * 32
    lea font, %a0
    move.w #64 * 8 - 1, %d0
2:
    move.b (%a0)+, %d1                          | one row, leftmost pixel in the top bit
    moveq #0, %d2
    moveq #8 - 1, %d3
3:
    lsl.l #4, %d2
    add.b %d1, %d1
    bcc.s 4f
    ori.b #1, %d2
4:
    dbra %d3, 3b
    move.l %d2, VDP_DATA
    dbra %d0, 2b
    rts

| Loads a Z-80 program that stores MARK at Z80_MARK, lets the Z-80 run for a while and reads
| the marker back. d6 = 1 when it was stored, 0 otherwise. A bus that is never granted (a
| console without a working Z-80) is given up after a bounded wait.
check_z80:
    move.w #0x0100, Z80_RESET                   | out of reset, so the bus can be granted
    bsr z80_take_bus
    move.w #0x0000, Z80_RESET                   | held in reset while it is loaded
    lea z80_program, %a0
    lea Z80_RAM, %a1
    moveq #8 - 1, %d0                           | the program's 8 bytes
1:
    move.b (%a0)+, (%a1)+
    dbra %d0, 1b
    move.b #0, Z80_RAM + Z80_MARK
    move.w #0x0000, Z80_BUSREQ                  | release the bus ...
    moveq #31, %d0
2:
    dbra %d0, 2b
    move.w #0x0100, Z80_RESET                   | ... and the reset: it runs from address 0

    move.w #0x3FFF, %d0                         | about 20 ms
3:
    dbra %d0, 3b

    bsr z80_take_bus
    moveq #0, %d6
    cmpi.b #MARK, Z80_RAM + Z80_MARK
    bne.s 4f
    moveq #1, %d6
4:
    move.w #0x0000, Z80_BUSREQ
    rts

z80_take_bus:
    move.w #0x0100, Z80_BUSREQ
    move.w #0xFFFF, %d0
1:
    btst #0, Z80_BUSREQ                         | 0: granted
    beq.s 2f
    dbra %d0, 1b
2:
    rts

| Prints the NUL-terminated text at a0 at the cell set last.
print:
    moveq #0, %d1
1:
    move.b (%a0)+, %d1
    beq.s 2f
    bsr put_char
    bra.s 1b
2:
    rts

| Prints d5 + 1 characters from a0.
print_n:
    moveq #0, %d1
1:
    move.b (%a0)+, %d1
    bsr put_char
    dbra %d5, 1b
    rts

| Prints d0 as two hexadecimal digits.
print_hex:
    lea hex_digits, %a0
    moveq #0, %d1
    move.b %d0, %d1
    lsr.b #4, %d1
    move.b (%a0, %d1.w), %d1
    bsr put_char
    moveq #0, %d1
    move.b %d0, %d1
    andi.b #0x0F, %d1
    move.b (%a0, %d1.w), %d1
    bsr put_char
    rts

| Writes the tile for the character d1 (lower case shown as upper case, anything without a
| glyph as '?'). Keeps every register but d1.
put_char:
    cmpi.b #0x61, %d1                          | 'a'
    blo.s 1f
    cmpi.b #0x7A, %d1                          | 'z'
    bhi.s 1f
    subi.b #0x20, %d1
1:
    cmpi.b #32, %d1
    blo.s 2f
    cmpi.b #95, %d1
    bls.s 3f
2:
    moveq #0x3F, %d1                           | '?'
3:
    move.w %d1, VDP_DATA
    rts

vdp_registers:
    .byte 0x04          | 0: no line interrupt
    .byte 0x04          | 1: display off, no frame interrupt, 28 rows
    .byte PLANE_A >> 10 | 2: plane A
    .byte 0xF000 >> 10  | 3: window (unused)
    .byte PLANE_B >> 13 | 4: plane B
    .byte 0xD800 >> 9   | 5: sprites (none)
    .byte 0x00          | 6
    .byte 0x00          | 7: backdrop is colour 0 of palette 0
    .byte 0x00          | 8
    .byte 0x00          | 9
    .byte 0xFF          | 10
    .byte 0x00          | 11: whole-screen scrolling
    .byte 0x81          | 12: 40 cells wide
    .byte 0xFC00 >> 10  | 13: horizontal scroll table
    .byte 0x00          | 14
    .byte 0x02          | 15: address step 2
    .byte 0x01          | 16: planes of 64 x 32 cells
    .byte 0x00          | 17
    .byte 0x00          | 18
vdp_registers_end:

| Version register bits 7 (overseas) and 6 (PAL), then the backdrop colour and the name.
    .align 2
region_table:
    .byte 0x80, 0
    .word BLUE, name_usa - names
    .byte 0xC0, 0
    .word GREEN, name_europe - names
    .byte 0x00, 0
    .word RED, name_japan - names
    .byte 0xFF, 0
    .word GREY, name_other - names

names:
name_usa:    .asciz "USA"
name_europe: .asciz "EUROPE"
name_japan:  .asciz "JAPAN"
name_other:  .asciz "UNKNOWN (DOMESTIC PAL)"

txt_region:  .asciz "REGION   "
txt_version: .asciz "VERSION  "
txt_z80:     .asciz "Z-80     "
txt_running: .asciz "RUNNING"
txt_stopped: .asciz "STOPPED"
txt_footer:  .asciz "QUORVALIS TEST CARTRIDGE"
hex_digits:  .ascii "0123456789ABCDEF"

| The Z-80 program: di; ld a,MARK; ld (Z80_MARK),a; jr $
z80_program:
    .byte 0xF3, 0x3E, MARK, 0x32, Z80_MARK & 0xFF, Z80_MARK >> 8, 0x18, 0xFE
z80_program_end:

    .include "font.s"

    .org ROM_SIZE, 0xFF
