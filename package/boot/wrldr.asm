; WRLDR: the loader that the boot menu entry "c:\wrldr" chain-loads. This
; machine has no repair environment behind it, so it says so, tells how to get
; back to the boot menu, waits for a key and restarts.
%include "boot.inc"

start:
        mov     si, message
        call    print
        jmp     wait_key_and_restart

message:
        db      13, 10, "WRLDR: the Tarwen repair environment is not on this machine.", 13, 10
        db      "Press any key to restart. When the boot menu appears again,", 13, 10
        db      "choose your Windows entry to start Windows.", 13, 10, 0

        boot_signature
