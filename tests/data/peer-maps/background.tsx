<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.8" tiledversion="1.8.2" name="background" tilewidth="32" tileheight="32" tilecount="256" columns="16">
 <image source="sample.background.png" width="512" height="512"/>
 <tile id="1">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:0"/>
  </properties>
 </tile>
 <tile id="2">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:3:0"/>
  </properties>
 </tile>
 <tile id="3">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:1"/>
  </properties>
 </tile>
 <tile id="4">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:2"/>
  </properties>
 </tile>
 <tile id="5">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:3"/>
  </properties>
 </tile>
 <tile id="6">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="terrain.png:0:4"/>
  </properties>
 </tile>
 <tile id="7">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="terrain.png:1:4"/>
  </properties>
 </tile>
 <tile id="8">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:5"/>
  </properties>
 </tile>
 <tile id="9">
  <properties>
   <property name="collision" type="bool" value="true"/>
   <property name="kelvorChip" value="terrain.png:0:6"/>
  </properties>
 </tile>
 <tile id="10">
  <properties>
   <property name="collision" type="bool" value="false"/>
   <property name="kelvorChip" value="terrain.png:0:7"/>
  </properties>
 </tile>
</tileset>
