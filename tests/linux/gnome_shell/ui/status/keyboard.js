// Stand-in for the shell's input sources: us (current) and de.
const source = (id, displayName, index) => ({type: 'xkb', id, displayName, index,
    activate(interactive) { manager.currentSource = interactive ? this : null; }});
const manager = {inputSources: {1: source('de', 'German', 1), 0: source('us', 'English', 0)}};
manager.currentSource = manager.inputSources[0];
export const getInputSourceManager = () => manager;
