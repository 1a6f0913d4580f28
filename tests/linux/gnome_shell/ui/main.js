// Stand-in for the shell's ui/main.js: activating a window gives it the focus.
export const overview = {visible: false};
export const activateWindow = window => global.display.focus(window);
