export class Extension { constructor(metadata) { this.metadata = metadata; } }
