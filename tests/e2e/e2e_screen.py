# SPDX-License-Identifier: GPL-3.0-or-later
"""What a screen reader sees of the game through AT-SPI: its dialogs and its window."""

from e2e_common import BUTTON_NEXT, LABEL_PLACES, PLACE_TOLERANCE, SPOKEN_PREFIXES

# pyatspi is imported only once the session's own accessibility bus is up
# (load_pyatspi), and never by the outer process, which has no session bus.
pyatspi = None


def load_pyatspi():
    global pyatspi
    import pyatspi


def text_of(accessible):
    text = accessible.queryText()
    return text.getText(0, text.characterCount)


def is_focused(accessible):
    return accessible.getState().contains(pyatspi.STATE_FOCUSED)


def centre_of(accessible):
    """The middle of the control on the screen, in pixels."""
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


class ScreenReader:
    """Reads the game process self.game from the accessibility bus (a base of Session)."""

    game = None

    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and self.game and app.get_process_id() == self.game.pid:
                return app
        return None

    def toplevels(self):
        app = self.application()
        if app is None:
            return []
        found = []
        for index in range(app.childCount):
            child = app.getChildAtIndex(index)
            if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
                found.append(child)
        return found

    def boxes(self):
        """The dialogs on screen (message boxes and the name prompt)."""
        return [Box(top) for top in self.toplevels()
                if top.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)]

    def window(self):
        """The game's window as a screen reader sees it, or None."""
        for top in self.toplevels():
            if top.getRole() == pyatspi.ROLE_FRAME:
                return WindowView(top)
        return None

    def frame_names(self):
        """The titles of every game window on screen."""
        return [top.name for top in self.toplevels() if top.getRole() == pyatspi.ROLE_FRAME]

    def describe_tree(self):
        lines = []

        def walk(node, depth):
            if node is None or depth > 8:
                return
            try:
                states = [pyatspi.stateToString(s) for s in node.getState().getStates()
                          if s in (pyatspi.STATE_FOCUSED, pyatspi.STATE_ACTIVE,
                                   pyatspi.STATE_SENSITIVE, pyatspi.STATE_SHOWING)]
                box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                place = f"({box.x},{box.y} {box.width}x{box.height})"
            except Exception:
                states, place = [], ""
            lines.append("  " * depth + f"{node.getRoleName()} {node.name!r} {place} "
                         + " ".join(states))
            for index in range(node.childCount):
                walk(node.getChildAtIndex(index), depth + 1)

        if pyatspi is None:
            raise RuntimeError("the accessibility bus was not up yet")
        app = self.application()
        if app is None:
            return "the game is not on the accessibility bus\n"
        walk(app, 0)
        return "\n".join(lines) + "\n"


def caption_of(label, name):
    """The caption of a label from its accessible name, which may carry a prefix."""
    prefix = SPOKEN_PREFIXES.get(label, "")
    if name.startswith(prefix):
        return name[len(prefix):]
    return f"(no prefix {prefix!r}) {name}"


class Box:
    """A dialog: its title, its texts, its buttons and its text fields."""

    def __init__(self, accessible):
        self.accessible = accessible
        self.title = accessible.name
        self.active = accessible.getState().contains(pyatspi.STATE_ACTIVE)
        self.texts = []
        self.buttons = {}
        self.fields = []
        self._walk(accessible, 0)

    def _walk(self, node, depth):
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is None:
                continue
            role = child.getRole()
            if role == pyatspi.ROLE_LABEL and child.name:
                self.texts.append(child.name)
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                self.buttons[child.name] = child
            elif role == pyatspi.ROLE_TEXT:
                self.fields.append(child)
            if depth < 4:
                self._walk(child, depth + 1)

    def __str__(self):
        return (f"box {self.title!r}{' (active)' if self.active else ''} saying "
                f"{self.texts!r} with buttons {list(self.buttons)!r}")


class Control:
    """What a screen reader reads of one control of the window."""

    def __init__(self, accessible, origin):
        self.role = accessible.getRole()
        self.role_name = accessible.getRoleName()
        self.name = accessible.name
        self.description = accessible.description
        states = accessible.getState()
        self.focused = states.contains(pyatspi.STATE_FOCUSED)
        self.showing = states.contains(pyatspi.STATE_SHOWING)
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        # Left, top, right, bottom in the window's client area.
        self.rect = (box.x - origin.x, box.y - origin.y,
                     box.x - origin.x + box.width, box.y - origin.y + box.height)

    def inside(self, other):
        return (other.rect[0] <= self.rect[0] and other.rect[1] <= self.rect[1]
                and self.rect[2] <= other.rect[2] and self.rect[3] <= other.rect[3])

    def __str__(self):
        return f"{self.role_name} {self.name!r} described {self.description!r} at {self.rect}"


class WindowView:
    """One reading of the game window: title, labels by place, answer box, buttons."""

    def __init__(self, frame):
        self.title = frame.name
        states = frame.getState()
        self.active = states.contains(pyatspi.STATE_ACTIVE)
        self.labels = {}
        self.answer = None
        self.answer_focused = False
        self.buttons = {}
        self.menus = {}
        self.controls = []
        for index in range(frame.childCount):
            child = frame.getChildAtIndex(index)
            if child is None:
                continue
            if child.getRole() == pyatspi.ROLE_FILLER:
                self._read_surface(child)
            elif child.getRole() == pyatspi.ROLE_MENU_BAR:
                for item in range(child.childCount):
                    menu = child.getChildAtIndex(item)
                    if menu is not None:
                        self.menus[menu.name] = menu

    def _read_surface(self, surface):
        origin = surface.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        for index in range(surface.childCount):
            child = surface.getChildAtIndex(index)
            if child is None:
                continue
            role = child.getRole()
            states = child.getState()
            self.controls.append(Control(child, origin))
            if role == pyatspi.ROLE_LABEL:
                if not states.contains(pyatspi.STATE_SHOWING):
                    continue
                box = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                place = (box.x - origin.x, box.y - origin.y)
                for name, (x, y) in LABEL_PLACES.items():
                    if max(abs(place[0] - x), abs(place[1] - y)) <= PLACE_TOLERANCE:
                        self.labels[name] = caption_of(name, child.name)
            elif role == pyatspi.ROLE_TEXT:
                self.answer = text_of(child)
                self.answer_focused = states.contains(pyatspi.STATE_FOCUSED)
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                self.buttons[child.name] = {
                    "accessible": child,
                    "enabled": states.contains(pyatspi.STATE_SENSITIVE),
                    "focused": states.contains(pyatspi.STATE_FOCUSED),
                }

    def label(self, name):
        return self.labels.get(name)

    def focused(self):
        """The control that has the focus, or None."""
        return next((control for control in self.controls if control.focused), None)

    def covering(self, control):
        """Another button or text box whose rectangle holds the whole control."""
        return next((other for other in self.controls if other is not control
                     and other.role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT)
                     and control.inside(other)), None)

    def menu_open(self):
        """Whether the popup of a top menu is on screen."""
        for menu in self.menus.values():
            for index in range(menu.childCount):
                popup = menu.getChildAtIndex(index)
                if popup is not None and popup.getState().contains(pyatspi.STATE_SHOWING):
                    return True
        return False

    def next_state(self):
        button = self.buttons.get(BUTTON_NEXT)
        if button is None:
            return "missing"
        return ("enabled" if button["enabled"] else "disabled") + (
            ", focused" if button["focused"] else "")

    def counters(self):
        return (self.label("lblScore"), self.label("lblScore1"), self.label("lblScore2"))

    def terms(self):
        return [self.label(f"lblNum{i}") for i in range(1, 5)]

    def ready_for_answer(self):
        """A fresh exercise waits for its answer: focus in the empty box, no
        message, "Nuovo calcolo" disabled, four terms shown."""
        return (self.active and self.answer_focused and self.answer == ""
                and self.label("lblMessage") == "" and self.next_state() == "disabled"
                and all(self.terms()))

    def __str__(self):
        shown = ", ".join(f"{name}={self.labels[name]!r}" for name in LABEL_PLACES
                          if name in self.labels)
        return (f"window {self.title!r}{' (active)' if self.active else ''}: {shown}; "
                f"answer box {self.answer!r}{' (focused)' if self.answer_focused else ''}; "
                f"'{BUTTON_NEXT}' {self.next_state()}")
