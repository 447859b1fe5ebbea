"""boxes.py: the box runner's side: the script that tells boxrunner.exe what to start and how to
answer its boxes, and what its log says the program showed (texts as CP932 bytes)."""
from wine import CODE_PAGE

# Button identifiers as MessageBoxA returns them.
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


def script(command_line, answers, timeout_ms, application=None, watch=False, shots=None):
    """The box runner's script: `answers` lists, box by box, a button id or ('file', name)
    for the open-file dialog; `watch`: the user answers; `shots`: where to ask for
    screenshots."""
    lines = [b"run " + as_bytes(command_line), b"timeout %d" % timeout_ms]
    if application is not None:
        lines.append(b"app " + as_bytes(application))
    if watch:
        lines.append(b"watch")
    if shots is not None:
        lines.append(b"shots " + as_bytes(shots))
    for a in answers:
        if isinstance(a, tuple) and a[0] == "file":
            lines.append(b"file " + as_bytes(a[1]))
        else:
            lines.append(b"press %d" % a)
    return b"\n".join(lines) + b"\n"


def as_bytes(text):
    return text if isinstance(text, bytes) else text.encode(CODE_PAGE)


class Box:
    def __init__(self, caption, text, has_file_field, buttons):
        self.caption = caption
        self.text = text
        self.has_file_field = has_file_field
        self.buttons = buttons  # [(control id, bytes)]

    @property
    def button_ids(self):
        return [ident for ident, _ in self.buttons]

    def __repr__(self):
        return "Box(caption=%r, text=%r, buttons=%r)" % (
            self.caption.decode(CODE_PAGE, "replace"), self.text.decode(CODE_PAGE, "replace"),
            self.button_ids)


class BoxRun:
    """What the box runner saw: the boxes in order, the events, the exit code (None when the
    program never ended by itself)."""

    def __init__(self, log_text, status):
        self.log = log_text
        self.status = status
        self.boxes = []
        self.events = []
        self.exit_code = None
        self.started = False
        self.peak_working_set = None  # bytes, when the box runner could measure them
        self.peak_private = None
        self.times = []  # (event, milliseconds since the program was started)
        for line in log_text.splitlines():
            words = line.split(" ")
            fields = dict(w.split("=", 1) for w in words[1:] if "=" in w)
            self.events.append(words[0])
            if "at" in fields:
                self.times.append((words[0], int(fields["at"])))
            if words[0] == "started":
                self.started = True
            elif words[0] == "box":
                buttons = []
                for item in filter(None, fields.get("buttons", "").split(",")):
                    ident, text = item.split(":", 1)
                    buttons.append((int(ident), bytes.fromhex(text)))
                self.boxes.append(Box(bytes.fromhex(fields["caption"]),
                                      bytes.fromhex(fields["text"]), fields["edit"] == "1",
                                      buttons))
            elif words[0] == "memory":
                self.peak_working_set = int(fields["peak-working-set"])
                self.peak_private = int(fields["private"])
            elif words[0] == "exit":
                self.exit_code = int(fields["code"])

    @property
    def went_as_scripted(self):
        return self.status == 0 and not ({"timeout", "unexpected-box", "no-button",
                                          "no-file-field", "start-failed",
                                          "unused-answers"} & set(self.events))
