; BOOTSECT.cdr: the boot-sector file of the boot menu entry that starts the
; machine from the CD drive. A boot sector cannot read a CD itself; it hands
; the start back to the BIOS (INT 18h), which tries the next device of its
; boot order, the CD drive where there is one. A BIOS that comes back has no
; such device: say so, wait for a key and restart.
%include "boot.inc"

start:
        mov     si, trying
        call    print
        int     0x18
        boot_start                      ; the BIOS may return with anything in the registers
        mov     si, no_cd
        call    print
        jmp     wait_key_and_restart

trying:
        db      13, 10, "BOOTSECT.cdr: starting from the CD drive (next device of the BIOS boot order)...", 13, 10, 0
no_cd:
        db      "No CD drive could start this machine. Put a bootable CD in the drive,", 13, 10
        db      "or press any key to restart and choose another boot menu entry.", 13, 10, 0

        boot_signature
