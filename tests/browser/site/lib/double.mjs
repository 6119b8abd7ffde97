export const double = (value) => value * 2;
