; WRLDR: the loader that the boot menu entry "c:\wrldr" chain-loads. This
; machine has no repair environment behind it, so it says so, tells where a
; restore is made instead (the control panel's "快照还原" button, named by its
; meaning: the screen is in text mode, plain ASCII), waits for a key and
; restarts.
%include "boot.inc"

start:
        mov     si, message
        call    print
        jmp     wait_key_and_restart

message:
        db      13, 10, "WRLDR: the Tarwen repair environment is not on this machine.", 13, 10
        db      "To restore the registry, start Windows and press the button", 13, 10
        db      "'Snapshots and restore' in the Tarwen control panel. If Windows", 13, 10
        db      "does not start, boot a rescue system and use twsnap.", 13, 10, 13, 10
        db      "Press any key to restart. When the boot menu appears again,", 13, 10
        db      "choose your Windows entry to start Windows.", 13, 10, 0

        boot_signature
