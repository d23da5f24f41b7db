// Named looks of the shipped pair, made with its controls: each is the
// pair's own numbers with these changed, so that one look never builds on
// another. A name's value goes to every stage that defines it; a number
// that the stages define apart takes a value for each stage by name.
export const presets = [
  {
    name: 'Fair-weather cumulus',
    values: { LUMP_AMPLITUDE: 0.3, LUMP_FREQUENCY: 2.6, FINE_AMPLITUDE: 0.07, EXTINCTION: { 'Quorvel.frag': 35 } },
  },
  {
    name: 'Towering',
    values: {
      LUMP_AMPLITUDE: 0.56,
      LUMP_FREQUENCY: 1.5,
      BASE_LUMPS: 0.2,
      EXTINCTION: { 'Quorvel.vert': 16, 'Quorvel.frag': 80 },
      RIM_GLOW: 1,
      EXPOSURE: 1.1,
    },
  },
  {
    name: 'Thin wisp',
    values: {
      LUMP_AMPLITUDE: 0.42,
      LUMP_TAPER: 0.3,
      BASE_LUMPS: 0.7,
      FINE_AMPLITUDE: 0.12,
      FINE_FREQUENCY: 7,
      SOFT_EDGE: 0.05,
      EXTINCTION: { 'Quorvel.vert': 7, 'Quorvel.frag': 6 },
      RIM_GLOW: 2.2,
      EXPOSURE: 1.2,
    },
  },
  {
    name: 'Evening light',
    sun: { height: 6, around: -62 },
    values: {
      SUN: [1, 0.58, 0.32],
      SKY_ABOVE: [0.32, 0.26, 0.42],
      SKY_SHADE: [0.14, 0.08, 0.13],
      RIM_GLOW: 2.4,
      EXPOSURE: 0.95,
    },
  },
];
