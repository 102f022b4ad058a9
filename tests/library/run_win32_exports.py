#!/usr/bin/python3
"""Runs the exports of a 32-bit winvxbt.dll on an emulated x86 CPU.

A kernel without IA32 emulation cannot run 32-bit x86 code, so the DLL is
loaded into an emulated CPU instead: its sections are mapped, and relocated away from their
preferred base as address-space randomisation moves a DLL on Windows; its
imports from KERNEL32.dll and msvcrt.dll are served by small Python stand-ins,
its entry point runs as the loader would run it, and every export is then
called as a 32-bit Windows program calls it: arguments pushed right to left,
then the return address. An export must come back to that return address with
the stack pointer above its arguments (stdcall: the callee removes them) and
with EBX, ESI, EDI and EBP as it found them.

The transmit callback is machine code too, in both conventions: a stdcall
callback that removes its 8 bytes of arguments, registered with
stdcall_callback 1, and a C callback that leaves them, registered with 0.

The stand-ins give one thread: the lock's thread-local token and the
threading library's bookkeeping run, but nothing here can run a second thread
or make a lock wait, so contention is not covered.

Usage: run_win32_exports.py path/to/winvxbt.dll   (exit status 0: all passed)
"""
import struct
import sys

import pefile
from unicorn import UC_ARCH_X86, UC_HOOK_CODE, UC_MODE_32, Uc, UcError
from unicorn import x86_const as x86

STACK_TOP, STACK_SIZE = 0x00200000, 0x00100000
TEB = 0x00300000
GDT = 0x00301000
HEAP, HEAP_SIZE = 0x10000000, 0x01000000
STUBS, STUB_SIZE = 0x7F000000, 0x00010000
LOAD_BASE = 0x20000000  # not the DLL's preferred base
CALLER = 0x7E000000  # return address of every call: nothing runs there
CALLBACKS = 0x7E001000
STEP_LIMIT = 2_000_000

CALLEE_SAVED = {"ebx": x86.UC_X86_REG_EBX, "esi": x86.UC_X86_REG_ESI,
                "edi": x86.UC_X86_REG_EDI, "ebp": x86.UC_X86_REG_EBP}

# Frame "abc" with kind 1 and sequence number 0, as the protocol describes it.
FRAME_ABC = bytes([0x02, 0x00, 0x08, 0x09, 0x00, 0x61, 0x62, 0x63, 0xD7, 0xA7, 0x0D])
ACK, NAK = 0x06, 0x15

# msvcrt's _initterm runs a table of function pointers, so it is machine code:
#   push esi; push edi; mov esi,[esp+12]; mov edi,[esp+16]
#   loop: cmp esi,edi; jae done; mov eax,[esi]; test eax,eax; jz next; call eax
#   next: add esi,4; jmp loop; done: pop edi; pop esi; ret
INITTERM_CODE = bytes.fromhex("56578b74240c8b7c241039fe730d8b0685c07402ffd083c604ebef5f5ec3")


class Unsupported(Exception):
    """The DLL called an import that the emulator does not provide."""


class Machine:
    def __init__(self, dll_path):
        self.uc = Uc(UC_ARCH_X86, UC_MODE_32)
        self.pe = pefile.PE(dll_path)
        self.base = LOAD_BASE
        self.heap_next = HEAP
        self.blocks = {}  # address -> size of each live heap block
        self.tls = {}
        self.last_error = 0
        self.next_handle = 0x100
        self.callback_calls = []
        self.stubs = {}  # stub address -> import name
        self.fault = None
        self.imports_used = set()
        for address, size in ((STACK_TOP - STACK_SIZE, STACK_SIZE), (TEB, 0x1000),
                              (HEAP, HEAP_SIZE), (STUBS, STUB_SIZE), (CALLER, 0x2000)):
            self.uc.mem_map(address, size)
        self.uc.mem_write(STUBS, b"\xf4" * STUB_SIZE)  # hlt: a stub that did not return
        self._set_up_teb()
        self._load_image()
        self.uc.hook_add(UC_HOOK_CODE, self._on_stub, begin=STUBS, end=STUBS + STUB_SIZE - 1)
        self.uc.hook_add(UC_HOOK_CODE, self._on_callback, begin=CALLBACKS, end=CALLBACKS + 0xFFF)

    # --- memory -----------------------------------------------------------------
    def read32(self, address):
        return struct.unpack("<I", self.uc.mem_read(address, 4))[0]

    def write32(self, address, value):
        self.uc.mem_write(address, struct.pack("<I", value & 0xFFFFFFFF))

    def alloc(self, size):
        """A zeroed heap block; 0 when the heap is spent."""
        size = max(size, 1)
        address = self.heap_next
        self.heap_next += (size + 15) & ~15
        if self.heap_next > HEAP + HEAP_SIZE:
            return 0
        self.uc.mem_write(address, bytes(size))
        self.blocks[address] = size
        return address

    def _set_up_teb(self):
        # A GDT of flat segments and one for FS, which addresses the thread's TEB.
        self.uc.mem_map(GDT, 0x1000)
        for index, base, limit, dpl in ((1, 0, 0xFFFFF, 0), (2, 0, 0xFFFFF, 3), (3, TEB, 0xFFF, 3)):
            descriptor = (limit & 0xFFFF | (base & 0xFFFFFF) << 16 | (0x92 | dpl << 5) << 40
                          | (limit >> 16) << 48 | 0xC << 52 | (base >> 24) << 56)
            self.uc.mem_write(GDT + 8 * index, struct.pack("<Q", descriptor))
        self.uc.reg_write(x86.UC_X86_REG_GDTR, (0, GDT, 0xFFF, 0))
        self.uc.reg_write(x86.UC_X86_REG_SS, 1 << 3)
        for reg in (x86.UC_X86_REG_DS, x86.UC_X86_REG_ES):
            self.uc.reg_write(reg, 2 << 3 | 3)
        self.uc.reg_write(x86.UC_X86_REG_FS, 3 << 3 | 3)
        self.write32(TEB + 0x00, 0xFFFFFFFF)  # no exception handler frame
        self.write32(TEB + 0x04, STACK_TOP)   # stack base
        self.write32(TEB + 0x08, STACK_TOP - STACK_SIZE)
        self.write32(TEB + 0x18, TEB)         # the TEB's own address
        self.write32(TEB + 0x24, 1)           # thread id

    def _load_image(self):
        pe = self.pe
        pe.relocate_image(self.base)  # also moves the addresses pefile reports
        size = (pe.OPTIONAL_HEADER.SizeOfImage + 0xFFF) & ~0xFFF
        self.uc.mem_map(self.base, size)
        self.uc.mem_write(self.base, bytes(pe.get_memory_mapped_image()))
        next_stub = STUBS + len(INITTERM_CODE)
        self.uc.mem_write(STUBS, INITTERM_CODE)
        for entry in pe.DIRECTORY_ENTRY_IMPORT:
            for imp in entry.imports:
                name = imp.name.decode()
                if name in DATA_IMPORTS:
                    target = self.alloc(DATA_IMPORTS[name])
                elif name == "_initterm":
                    target = STUBS
                else:
                    target, next_stub = next_stub, next_stub + 4
                    self.stubs[target] = f"{entry.dll.decode()}!{name}"
                self.write32(imp.address, target)

    # --- imports ----------------------------------------------------------------
    def _on_stub(self, uc, address, _size, _data):
        if address not in self.stubs:
            return  # inside _initterm's machine code
        name = self.stubs[address].split("!")[1]
        self.imports_used.add(name)
        if name not in IMPORTS:
            self.fault = f"needs {self.stubs[address]}, which the emulator does not provide"
            uc.emu_stop()
            return
        arg_count, stdcall, body = IMPORTS[name]
        esp = uc.reg_read(x86.UC_X86_REG_ESP)
        args = struct.unpack(f"<{arg_count}I", uc.mem_read(esp + 4, 4 * arg_count))
        try:
            result = body(self, *args)
        except Unsupported as e:
            self.fault = str(e)
            uc.emu_stop()
            return
        uc.reg_write(x86.UC_X86_REG_EAX, (result or 0) & 0xFFFFFFFF)
        uc.reg_write(x86.UC_X86_REG_EDX, ((result or 0) >> 32) & 0xFFFFFFFF)
        uc.reg_write(x86.UC_X86_REG_ESP, esp + 4 + (4 * arg_count if stdcall else 0))
        uc.reg_write(x86.UC_X86_REG_EIP, self.read32(esp))

    def _on_callback(self, uc, address, _size, _data):
        if address == CALLBACKS:
            esp = uc.reg_read(x86.UC_X86_REG_ESP)
            channel, byte = (self.read32(esp + 4) & 0xFF, self.read32(esp + 8) & 0xFF)
            self.callback_calls.append((channel, byte))

    # --- calls --------------------------------------------------------------------
    def make_callback(self, stdcall, result):
        """A transmit callback: mov eax, result; ret 8 (stdcall) or ret (C)."""
        address = CALLBACKS
        code = b"\xb8" + struct.pack("<I", result) + (b"\xc2\x08\x00" if stdcall else b"\xc3")
        self.uc.mem_write(address, code)
        return address

    def export(self, name):
        for symbol in self.pe.DIRECTORY_ENTRY_EXPORT.symbols:
            if symbol.name and symbol.name.decode() == name:
                return self.base + symbol.address
        raise KeyError(name)

    def call(self, address, args):
        """Calls as a stdcall caller does; returns (eax, problems)."""
        esp = STACK_TOP - 0x100
        for arg in reversed(args):
            esp -= 4
            self.write32(esp, arg)
        esp -= 4
        self.write32(esp, CALLER)
        expected_esp = esp + 4 + 4 * len(args)
        markers = {reg: 0x5A000000 + i for i, reg in enumerate(CALLEE_SAVED.values())}
        for reg, value in markers.items():
            self.uc.reg_write(reg, value)
        self.uc.reg_write(x86.UC_X86_REG_ESP, esp)
        self.fault = None
        try:
            self.uc.emu_start(address, CALLER, count=STEP_LIMIT)
        except UcError as e:
            eip = self.uc.reg_read(x86.UC_X86_REG_EIP)
            return None, [f"CPU fault ({e}) at {eip:#010x}"]
        if self.fault:
            return None, [self.fault]
        eip = self.uc.reg_read(x86.UC_X86_REG_EIP)
        if eip != CALLER:
            return None, [f"stopped at {eip:#010x} without returning"]
        problems = []
        esp_after = self.uc.reg_read(x86.UC_X86_REG_ESP)
        if esp_after != expected_esp:
            problems.append(f"ESP {esp_after - expected_esp:+d} bytes off")
        for reg_name, reg in CALLEE_SAVED.items():
            if self.uc.reg_read(reg) != markers[reg]:
                problems.append(f"{reg_name} not preserved")
        return self.uc.reg_read(x86.UC_X86_REG_EAX), problems


# --- the stand-ins for KERNEL32.dll and msvcrt.dll ---------------------------------
def _new_handle(m, *_):
    m.next_handle += 4
    return m.next_handle


def _tls_alloc(m):
    index = len(m.tls)
    m.tls[index] = 0
    return index


def _tls_set(m, index, value):
    m.tls[index] = value
    return 1


def _duplicate_handle(m, _process, _handle, _target_process, target, *_):
    if target:
        m.write32(target, _new_handle(m))
    return 1


def _set_last_error(m, code):
    m.last_error = code


def _realloc(m, old, size):
    new = m.alloc(size)
    if old:
        m.uc.mem_write(new, bytes(m.uc.mem_read(old, min(m.blocks.get(old, 0), size))))
        m.blocks.pop(old, None)
    return new


def _free(m, address):
    if address and m.blocks.pop(address, None) is None:
        raise Unsupported(f"free of {address:#x}, which is no live block")


def _memcpy(m, dst, src, n):
    m.uc.mem_write(dst, bytes(m.uc.mem_read(src, n)))
    return dst


def _memset(m, dst, value, n):
    m.uc.mem_write(dst, bytes([value & 0xFF]) * n)
    return dst


def _fails(what):
    def body(_m, *_):
        raise Unsupported(f"the DLL called {what}")
    return body


def _constant(value):
    return lambda _m, *_: value


# name: (argument count, stdcall?, body)
IMPORTS = {
    "InitializeCriticalSection": (1, True, _constant(0)),
    "TlsAlloc": (0, True, _tls_alloc),
    "TlsGetValue": (1, True, lambda m, i: m.tls.get(i, 0)),
    "TlsSetValue": (2, True, _tls_set),
    "GetLastError": (0, True, lambda m: m.last_error),
    "SetLastError": (1, True, _set_last_error),
    "GetCurrentThreadId": (0, True, _constant(1)),
    "GetCurrentProcess": (0, True, _constant(0xFFFFFFFF)),
    "GetCurrentThread": (0, True, _constant(0xFFFFFFFE)),
    "DuplicateHandle": (7, True, _duplicate_handle),
    "CreateEventA": (4, True, _new_handle),
    "CreateSemaphoreA": (4, True, _new_handle),
    "GetThreadPriority": (1, True, _constant(0)),
    "GetModuleHandleA": (1, True, _constant(0)),
    "WaitForSingleObject": (2, True, _fails("WaitForSingleObject: a lock would wait")),
    "Sleep": (1, True, _fails("Sleep: a lock would wait")),
    "malloc": (1, False, lambda m, n: m.alloc(n)),
    "calloc": (2, False, lambda m, n, size: m.alloc(n * size)),
    "realloc": (2, False, _realloc),
    "free": (1, False, _free),
    "memcpy": (3, False, _memcpy),
    "memset": (3, False, _memset),
    "_lock": (1, False, _constant(0)),
    "_unlock": (1, False, _constant(0)),
}

# Data the DLL imports by address rather than calls: name -> bytes to provide.
DATA_IMPORTS = {"__mb_cur_max": 4, "_iob": 32 * 8}


# --- the checks ---------------------------------------------------------------------
class Run:
    def __init__(self, machine, label):
        self.m = machine
        self.label = label
        self.failures = 0

    def check(self, address, args, result, replies=(), memory=None):
        """Calls an export; returns what went wrong. `replies` are the callback's
        (channel, byte) calls; `memory` is (address, bytes expected there)."""
        self.m.callback_calls.clear()
        eax, problems = self.m.call(address, args)
        if eax is not None and eax & 0xFFFF != result:
            problems.append(f"returned {eax & 0xFFFF}, expected {result}")
        if self.m.callback_calls != list(replies):
            problems.append(f"callback saw {self.m.callback_calls}, expected {list(replies)}")
        if memory and bytes(self.m.uc.mem_read(memory[0], len(memory[1]))) != memory[1]:
            problems.append(f"memory reads {bytes(self.m.uc.mem_read(memory[0], len(memory[1])))}")
        return problems

    def report(self, call_text, problems):
        verdict = "ok" if not problems else "FAILED: " + "; ".join(problems)
        print(f"  {self.label}: {call_text} -> {verdict}")
        self.failures += bool(problems)
        return not problems

    def expect(self, call_text, address, args, result, replies=(), memory=None):
        return self.report(call_text, self.check(address, args, result, replies, memory))

    def expect_frame(self, rx_byte, frame, replies):
        """Feeds a good frame: every byte returns 0, the last draws the replies."""
        for i, byte in enumerate(frame):
            last = i == len(frame) - 1
            problems = self.check(rx_byte, [0, byte], 0, replies if last else ())
            if problems:
                return self.report(f"VXBT_rx_byte(0, {byte:#04x}), byte {i + 1} of a frame",
                                   problems)
        return self.report(f"VXBT_rx_byte(0, b) for the {len(frame)} bytes of a frame", [])


def check_convention(dll_path, label, stdcall):
    """Loads the DLL and drives every export with a callback of one convention
    and its flag."""
    m = Machine(dll_path)
    run = Run(m, label)
    entry = m.base + m.pe.OPTIONAL_HEADER.AddressOfEntryPoint
    if not run.expect("DllMain(module, DLL_PROCESS_ATTACH, 0)", entry, [m.base, 1, 0], 1):
        return 1
    x = m.export
    flag = 1 if stdcall else 0
    callback = m.make_callback(stdcall, 9)  # 9: the port is closed
    version = m.alloc(3)
    run.expect("VXBT_get_ver(&major, &minor, &build)", x("VXBT_get_ver"),
               [version, version + 1, version + 2], 0, memory=(version, bytes([2, 0, 0])))
    run.expect(f"VXBT_init(0, 4096, 5, 1, {flag}, cb)", x("VXBT_init"),
               [0, 4096, 5, 1, flag, callback], 0)
    if run.expect_frame(x("VXBT_rx_byte"), FRAME_ABC, [(0, ACK)]):
        run.expect("VXBT_rx_msg_cnt(0)", x("VXBT_rx_msg_cnt"), [0], 1)
        message = m.alloc(4096)
        run.expect("VXBT_get_msg(0, buffer)", x("VXBT_get_msg"), [0, message], 3,
                   memory=(message, b"abc"))
    run.expect("VXBT_send_ack(0)", x("VXBT_send_ack"), [0], 9, [(0, ACK)])
    run.expect("VXBT_send_nack(0)", x("VXBT_send_nack"), [0], 9, [(0, NAK)])
    run.expect("VXBT_close(0)", x("VXBT_close"), [0], 0)
    run.expect("DllMain(module, DLL_PROCESS_DETACH, 0)", entry, [m.base, 0, 0], 1)
    print(f"  {label}: imports called: {' '.join(sorted(m.imports_used))}")
    return run.failures


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    print(f"{sys.argv[1]}: entry point, then every export, once per callback convention")
    failures = check_convention(sys.argv[1], "stdcall callback, flag 1", True)
    failures += check_convention(sys.argv[1], "C callback, flag 0", False)
    print("passed" if failures == 0 else f"{failures} check(s) failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
